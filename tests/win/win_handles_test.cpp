// The handle holders against real handles: what each operation leaves open or closed is read
// back from the system (a closed handle has no handle information any more).
#include <windows.h>
#include <gtest/gtest.h>

#include <utility>

#include "common/win_handles.h"

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

TEST(WinHandles, EachOperationClosesExactlyTheHandleItGivesUp) {
  HANDLE first = NewEvent();
  HANDLE second = NewEvent();
  HANDLE kept = nullptr;
  {
    UniqueHandle holder(first);
    EXPECT_EQ(holder.get(), first);
    holder.reset(second);
    EXPECT_FALSE(IsOpen(first)) << "reset closes the handle held before";
    EXPECT_TRUE(IsOpen(second));

    UniqueHandle moved(std::move(holder));
    EXPECT_FALSE(holder) << "the moved-from holder is empty";
    EXPECT_EQ(moved.get(), second);

    *moved.put() = NewEvent();
    EXPECT_FALSE(IsOpen(second)) << "put closes the handle held before";
    kept = moved.release();
    EXPECT_FALSE(moved);
  }
  EXPECT_TRUE(IsOpen(kept)) << "a released handle stays open";
  {
    UniqueHandle holder(kept);
    UniqueHandle other;
    other = std::move(holder);
    EXPECT_TRUE(IsOpen(kept));
  }
  EXPECT_FALSE(IsOpen(kept)) << "the destructor of the holder moved into closes";
}

// A holder with a context: the selection goes back into its own device context, before the
// context itself is deleted.
TEST(WinHandles, SelectionIsUndoneInItsDeviceContext) {
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
  UniqueBitmap bitmap(CreateCompatibleBitmap(dc.get(), 4, 4));
  ASSERT_TRUE(bitmap);
  {
    UniqueSelection selected(dc.get(), SelectObject(dc.get(), bitmap.get()));
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}

}  // namespace
