// Compiled-looking 32-bit x86 code: functions with frame prologues and epilogues, instructions
// drawn with the skewed statistics of compiler output (register moves and stack-frame accesses
// dominate), calls through the import address table, switch jump tables, padding between
// functions, and now and then a recent run of instructions reused as a compiler does for inlined
// helpers.
#include "tools/product/pe_parts.h"

namespace {

enum Reg : uint8_t { EAX, ECX, EDX, EBX, ESP, EBP, ESI, EDI };

struct Emitter {
  Rng& rng;
  Bytes& out;
  CodeContext& context;
  size_t base;  // out offset of the section start
  size_t limit;

  uint32_t Rva() const { return context.sectionRva + static_cast<uint32_t>(out.size() - base); }

  uint8_t Reg() {
    static const uint8_t order[] = {EAX, ECX, ESI, EDI, EDX, EBX};
    return order[rng.Skewed(6)];
  }
  uint8_t LocalDisp() {  // [ebp-4], [ebp-8] ... or arguments [ebp+8] ...
    if (rng.PerMille(300)) return static_cast<uint8_t>(8 + 4 * rng.Skewed(6));
    return static_cast<uint8_t>(0x100 - 4 * (1 + rng.Skewed(24)));
  }
  uint8_t FieldDisp() { return static_cast<uint8_t>(4 * rng.Skewed(20)); }
  uint8_t Imm8() {
    static const uint8_t values[] = {0, 1, 0xFF, 2, 4, 8, 0x10, 3, 0x20, 0x0C, 0x40, 0x14, 0x80, 0x18};
    return values[rng.Skewed(sizeof(values))];
  }
  void Absolute(uint32_t va) {
    context.relocations.push_back(Rva());
    Put32(out, va);
  }
  void DataAddress() {
    const auto& data = context.dataAddresses;
    Absolute(data.empty() ? context.imageBase + context.sectionRva : data[rng.Skewed(static_cast<uint32_t>(data.size()))]);
  }
  void Call() {
    Put8(out, 0xE8);
    const auto& f = context.functions;
    uint32_t target = f.empty() ? context.sectionRva : f[f.size() - 1 - rng.Skewed(static_cast<uint32_t>(f.size()))];
    if (rng.PerMille(300)) target = Rva() + rng.Range(0x40, 0x4000);  // a function further on
    Put32(out, target - (Rva() + 4));
  }
  void CallImport() {
    if (context.importSlots.empty()) return Call();
    Put8(out, 0xFF);
    Put8(out, 0x15);
    Absolute(context.importSlots[rng.Skewed(static_cast<uint32_t>(context.importSlots.size()))]);
  }
  void ShortJump(uint8_t opcode) {
    Put8(out, opcode);
    Put8(out, rng.Range(2, 0x40));
  }

  void Instruction() {
    const uint32_t pick = rng.Below(100);
    const uint8_t r = Reg();
    if (pick < 12) {  // mov r, [ebp+disp]
      Put8(out, 0x8B); Put8(out, 0x45 | r << 3); Put8(out, LocalDisp());
    } else if (pick < 19) {  // mov [ebp+disp], r
      Put8(out, 0x89); Put8(out, 0x45 | r << 3); Put8(out, LocalDisp());
    } else if (pick < 28) {  // mov r, [r2+disp] / [r2]
      const uint8_t r2 = Reg();
      if (rng.PerMille(300)) { Put8(out, 0x8B); Put8(out, (r << 3) | r2); }
      else { Put8(out, 0x8B); Put8(out, 0x40 | r << 3 | r2); Put8(out, FieldDisp()); }
    } else if (pick < 33) {  // mov [r2+disp], r
      Put8(out, 0x89); Put8(out, 0x40 | r << 3 | Reg()); Put8(out, FieldDisp());
    } else if (pick < 40) {  // mov r, r2
      Put8(out, 0x8B); Put8(out, 0xC0 | r << 3 | Reg());
    } else if (pick < 49) {  // push r
      Put8(out, 0x50 + r);
    } else if (pick < 52) {  // pop r
      Put8(out, 0x58 + r);
    } else if (pick < 56) {  // push imm8
      Put8(out, 0x6A); Put8(out, Imm8());
    } else if (pick < 59) {  // push offset data
      Put8(out, 0x68); DataAddress();
    } else if (pick < 66) {  // call function, then often pop the arguments
      Call();
      if (rng.PerMille(400)) { Put8(out, 0x83); Put8(out, 0xC4); Put8(out, 4 * rng.Range(1, 4)); }
    } else if (pick < 70) {  // call [__imp_Function]
      CallImport();
    } else if (pick < 76) {  // test r, r / jz or jnz
      Put8(out, 0x85); Put8(out, 0xC0 | r << 3 | r); ShortJump(rng.PerMille(600) ? 0x74 : 0x75);
    } else if (pick < 80) {  // cmp r, imm8 / jcc
      Put8(out, 0x83); Put8(out, 0xF8 | r); Put8(out, Imm8());
      ShortJump(static_cast<uint8_t>(0x72 + rng.Skewed(14)));
    } else if (pick < 83) {  // xor r, r
      Put8(out, 0x33); Put8(out, 0xC0 | r << 3 | r);
    } else if (pick < 87) {  // lea r, [ebp+disp]
      Put8(out, 0x8D); Put8(out, 0x45 | r << 3); Put8(out, LocalDisp());
    } else if (pick < 89) {  // mov r, imm32
      Put8(out, 0xB8 + r);
      if (rng.PerMille(500)) DataAddress(); else Put32(out, rng.PerMille(500) ? Imm8() : rng.Below(0x10000));
    } else if (pick < 91) {  // mov dword [ebp+disp], imm32
      Put8(out, 0xC7); Put8(out, 0x45); Put8(out, LocalDisp()); Put32(out, rng.PerMille(700) ? Imm8() : rng.Below(0x1000));
    } else if (pick < 93) {  // jmp
      if (rng.PerMille(700)) ShortJump(0xEB);
      else { Put8(out, 0xE9); Put32(out, rng.Range(0x10, 0x400)); }
    } else if (pick < 95) {  // add/sub/and/or r, r2
      static const uint8_t ops[] = {0x03, 0x2B, 0x23, 0x0B, 0x3B};
      Put8(out, ops[rng.Skewed(5)]); Put8(out, 0xC0 | r << 3 | Reg());
    } else if (pick < 96) {  // movzx r, byte/word [r2+disp]
      Put8(out, 0x0F); Put8(out, rng.PerMille(600) ? 0xB6 : 0xB7); Put8(out, 0x40 | r << 3 | Reg()); Put8(out, FieldDisp());
    } else if (pick < 98) {  // mov r, [global]
      if (r == EAX) { Put8(out, 0xA1); } else { Put8(out, 0x8B); Put8(out, 0x05 | r << 3); }
      DataAddress();
    } else if (pick < 99) {  // jcc near
      Put8(out, 0x0F); Put8(out, static_cast<uint8_t>(0x84 + rng.Skewed(8))); Put32(out, rng.Range(0x10, 0x300));
    } else {  // inc / dec / shift
      if (rng.PerMille(500)) Put8(out, (rng.PerMille(500) ? 0x40 : 0x48) + r);
      else { Put8(out, 0xC1); Put8(out, (rng.PerMille(500) ? 0xE0 : 0xE8) | r); Put8(out, rng.Range(1, 16)); }
    }
  }

  // Copies a recent run of this section's code: the compiler's repeated idioms.
  void ReuseRun() {
    const size_t have = out.size() - base;
    if (have < 256) return Instruction();
    const size_t length = rng.Range(6, 48);
    const size_t back = rng.Range(static_cast<uint32_t>(length), static_cast<uint32_t>(have < 24000 ? have : 24000));
    const size_t from = out.size() - back;
    for (size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
  }

  void JumpTable(uint32_t functionRva) {
    PadTo(out, 4, context.functionPadding);
    const uint32_t cases = rng.Range(3, 24);
    for (uint32_t i = 0; i < cases; ++i) Absolute(context.imageBase + functionRva + rng.Range(8, 0x200));
  }

  void Function() {
    const uint32_t start = Rva();
    context.functions.push_back(start);
    const bool frame = rng.PerMille(800);
    if (frame) {
      Put8(out, 0x55); Put8(out, 0x8B); Put8(out, 0xEC);  // push ebp; mov ebp, esp
      if (rng.PerMille(600)) { Put8(out, 0x83); Put8(out, 0xEC); Put8(out, 4 * rng.Range(1, 30)); }
      else if (rng.PerMille(300)) { Put8(out, 0x81); Put8(out, 0xEC); Put32(out, 4 * rng.Range(32, 300)); }
    }
    static const uint8_t kSaved[] = {ESI, EDI, EBX};  // callee-saved, pushed in this order
    const uint32_t saved = rng.Below(4);
    for (uint32_t i = 0; i < saved; ++i) Put8(out, 0x50 + kSaved[i]);
    const uint32_t count = 4 + rng.Skewed(120) + rng.Skewed(60);
    for (uint32_t i = 0; i < count && out.size() < limit; ++i) {
      if (rng.PerMille(context.repeatPerMille)) ReuseRun(); else Instruction();
    }
    for (uint32_t i = saved; i > 0; --i) Put8(out, 0x58 + kSaved[i - 1]);
    if (frame) {
      if (rng.PerMille(500)) { Put8(out, 0x8B); Put8(out, 0xE5); }  // mov esp, ebp
      Put8(out, 0x5D);                                                  // pop ebp
    }
    if (rng.PerMille(550)) Put8(out, 0xC3);
    else { Put8(out, 0xC2); Put16(out, 4 * rng.Range(1, 6)); }          // ret n (stdcall)
    if (rng.PerMille(60)) JumpTable(start);
    PadTo(out, 16, context.functionPadding);
  }
};

}  // namespace

void GenerateCode(Rng& rng, Bytes& out, size_t size, CodeContext& context) {
  Emitter emitter{rng, out, context, out.size(), out.size() + size};
  while (out.size() < emitter.limit) emitter.Function();
  // The last function is cut at the section end; drop addresses that no longer fit.
  out.resize(emitter.limit);
  const uint32_t end = context.sectionRva + static_cast<uint32_t>(size);
  while (!context.relocations.empty() && context.relocations.back() + 4 > end) context.relocations.pop_back();
}
