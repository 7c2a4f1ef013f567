// Holders for everything that must be released: one move-only template and one line per kind of
// handle. A holder owns at most one handle; its destructor releases it, so "each operation frees
// what it allocates before it returns" holds on every early return. Declare holders in
// acquisition order: they release in reverse.
//
//   UniqueKey key;                       // closes with RegCloseKey
//   if (RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
//
// get() lends the handle, put() releases the held one and hands out the address for an
// out-parameter, release() gives the handle up without releasing it, reset(value) releases the
// held one and takes value. A holder is empty when it holds the kind's failure value (null, or
// INVALID_HANDLE_VALUE for files and searches); an empty holder releases nothing.
//
// A kind whose release needs a second value (the DDE instance of a string handle, the window of
// a device context, the allocator of an item list) keeps it as the holder's context, given at
// construction: UniqueDdeString name(instance, DdeCreateStringHandleA(instance, ...)).
#pragma once
#include <windows.h>
#include <ddeml.h>
#include <ole2.h>
#include <shlobj.h>

#include <type_traits>

// The context of a kind that needs none.
struct NoContext {};

// Traits: Value (the handle's type), Context (NoContext or what Release needs besides the
// handle), Empty() (the failure value) and Release(value) or Release(context, value).
template <typename Traits>
class UniqueHolder {
 public:
  using Value = typename Traits::Value;
  using Context = typename Traits::Context;
  static constexpr bool HasContext = !std::is_same_v<Context, NoContext>;

  UniqueHolder() = default;
  explicit UniqueHolder(Value value)
    requires(!HasContext)
      : value_(value) {}
  explicit UniqueHolder(Context context, Value value = Traits::Empty()) : context_(context), value_(value) {}
  UniqueHolder(UniqueHolder&& other) : context_(other.context_), value_(other.release()) {}
  UniqueHolder& operator=(UniqueHolder&& other) {
    if (this != &other) {
      reset(other.release());
      context_ = other.context_;
    }
    return *this;
  }
  UniqueHolder(const UniqueHolder&) = delete;
  UniqueHolder& operator=(const UniqueHolder&) = delete;
  ~UniqueHolder() { reset(); }

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Empty(); }
  Value* put() {
    reset();
    return &value_;
  }
  Value release() {
    Value value = value_;
    value_ = Traits::Empty();
    return value;
  }
  void reset(Value value = Traits::Empty()) {
    if (value_ != Traits::Empty()) {
      if constexpr (HasContext)
        Traits::Release(context_, value_);
      else
        Traits::Release(value_);
    }
    value_ = value;
  }

 private:
  [[no_unique_address]] Context context_{};
  Value value_ = Traits::Empty();
};

namespace handle_traits {

// A kind without context whose failure value is null.
template <typename T, auto release>
struct NullEmpty {
  using Value = T;
  using Context = NoContext;
  static Value Empty() { return nullptr; }
  static void Release(Value value) { release(value); }
};

// A kind without context whose failure value is INVALID_HANDLE_VALUE.
template <auto release>
struct InvalidEmpty {
  using Value = HANDLE;
  using Context = NoContext;
  static Value Empty() { return INVALID_HANDLE_VALUE; }
  static void Release(Value value) { release(value); }
};

struct WindowDc {
  using Value = HDC;
  using Context = HWND;
  static Value Empty() { return nullptr; }
  static void Release(HWND window, HDC dc) { ReleaseDC(window, dc); }
};

struct Selection {
  using Value = HGDIOBJ;
  using Context = HDC;
  static Value Empty() { return nullptr; }
  static void Release(HDC dc, HGDIOBJ previous) { SelectObject(dc, previous); }
};

template <typename Interface>
struct Com {
  using Value = Interface*;
  using Context = NoContext;
  static Value Empty() { return nullptr; }
  static void Release(Value value) { value->Release(); }
};

struct ItemList {
  using Value = LPITEMIDLIST;
  using Context = IMalloc*;
  static Value Empty() { return nullptr; }
  static void Release(IMalloc* allocator, LPITEMIDLIST list) { allocator->Free(list); }
};

struct DdeInstance {
  using Value = DWORD;
  using Context = NoContext;
  static Value Empty() { return 0; }
  static void Release(DWORD instance) { DdeUninitialize(instance); }
};

struct DdeString {
  using Value = HSZ;
  using Context = DWORD;
  static Value Empty() { return nullptr; }
  static void Release(DWORD instance, HSZ name) { DdeFreeStringHandle(instance, name); }
};

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseSearch(HANDLE search) { FindClose(search); }
inline void UnloadModule(HMODULE module) { FreeLibrary(module); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
inline void Disconnect(HCONV conversation) { DdeDisconnect(conversation); }
inline void FreeDdeData(HDDEDATA data) { DdeFreeDataHandle(data); }

}  // namespace handle_traits

// A file or pipe from CreateFileA, or a snapshot from CreateToolhelp32Snapshot
// (INVALID_HANDLE_VALUE on failure); CloseHandle. A caller that must know whether the close
// succeeded (a written file) closes with release() and CloseHandle itself.
using UniqueFile = UniqueHolder<handle_traits::InvalidEmpty<handle_traits::CloseKernelHandle>>;
// A process, thread, event or other kernel object whose failure value is null; CloseHandle.
using UniqueHandle = UniqueHolder<handle_traits::NullEmpty<HANDLE, handle_traits::CloseKernelHandle>>;
// An opened or created registry key; RegCloseKey. Never hand it a predefined root.
using UniqueKey = UniqueHolder<handle_traits::NullEmpty<HKEY, handle_traits::CloseKey>>;
// A search from FindFirstFileA (INVALID_HANDLE_VALUE on failure); FindClose.
using UniqueFind = UniqueHolder<handle_traits::InvalidEmpty<handle_traits::CloseSearch>>;
// A module from LoadLibraryA; FreeLibrary. Not for GetModuleHandleA's results.
using UniqueModule = UniqueHolder<handle_traits::NullEmpty<HMODULE, handle_traits::UnloadModule>>;
// A GDI object made by the caller (font, brush, bitmap, pen, region); DeleteObject. It must no
// longer be selected into a device context when the holder ends (see UniqueSelection).
template <typename Object>
using UniqueGdi = UniqueHolder<handle_traits::NullEmpty<Object, handle_traits::DeleteGdiObject>>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
// A memory device context from CreateCompatibleDC; DeleteDC.
using UniqueMemoryDc = UniqueHolder<handle_traits::NullEmpty<HDC, handle_traits::DeleteMemoryDc>>;
// A window's device context from GetDC(window), context the window (null: the screen); ReleaseDC.
using UniqueWindowDc = UniqueHolder<handle_traits::WindowDc>;
// What SelectObject returned, context the device context: selects it back, so that the object
// selected in its place is free again. Declare it after the device context's holder.
using UniqueSelection = UniqueHolder<handle_traits::Selection>;
// A COM interface pointer the caller owns a reference to; Release.
template <typename Interface>
using UniqueCom = UniqueHolder<handle_traits::Com<Interface>>;
// A shell item list, context the shell allocator (SHGetMalloc) that frees it; IMalloc::Free.
// The allocator's holder is declared first, so the list goes before the allocator.
using UniqueItemList = UniqueHolder<handle_traits::ItemList>;
// A DDE instance from DdeInitializeA (put() for its first parameter; 0 when it failed);
// DdeUninitialize.
using UniqueDdeInstance = UniqueHolder<handle_traits::DdeInstance>;
// A string handle from DdeCreateStringHandleA, context its instance; DdeFreeStringHandle.
using UniqueDdeString = UniqueHolder<handle_traits::DdeString>;
// A conversation from DdeConnect; DdeDisconnect.
using UniqueConversation = UniqueHolder<handle_traits::NullEmpty<HCONV, handle_traits::Disconnect>>;
// A data handle the caller owns (DdeClientTransaction's result for a request, or one from
// DdeCreateDataHandle that is never passed to a transaction, which takes it over);
// DdeFreeDataHandle.
using UniqueDdeData = UniqueHolder<handle_traits::NullEmpty<HDDEDATA, handle_traits::FreeDdeData>>;

// OLE for the lifetime of the holder: OleInitialize when made, OleUninitialize when it ends
// (whatever OleInitialize answered). Not a handle, so not a UniqueHolder.
struct OleSession {
  OleSession() { OleInitialize(nullptr); }
  ~OleSession() { OleUninitialize(); }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
};
