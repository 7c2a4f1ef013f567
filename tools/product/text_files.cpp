// Text-based product files: the rich-text ReadMe, .ini settings, the licence text, the setup
// information file, the tips database and WinHelp files.
#include <algorithm>
#include <cstring>

#include "tools/product/product.h"

namespace {

void Line(Bytes& out, const std::string& text) { PutAscii(out, text + "\r\n", false); }

// Ends text files cleanly: a cut never leaves half a CR LF.
Bytes FinishText(Bytes out, uint32_t size) {
  if (out.size() > size) out.resize(size);
  while (out.size() < size) out.push_back(out.size() + 2 <= size ? ' ' : '\n');
  if (size >= 2) {
    out[size - 2] = '\r';
    out[size - 1] = '\n';
  }
  return out;
}

std::string Wrapped(Rng& rng, int sentences, size_t width) {
  std::string paragraph, line;
  for (int i = 0; i < sentences; ++i) {
    const std::string s = Sentence(rng);
    size_t start = 0;
    while (start < s.size()) {
      size_t end = s.find(' ', start);
      if (end == std::string::npos) end = s.size();
      const std::string word = s.substr(start, end - start);
      if (!line.empty() && line.size() + 1 + word.size() > width) {
        paragraph += line + "\r\n";
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
      start = end + 1;
    }
  }
  return paragraph + line + "\r\n";
}

}  // namespace

Bytes MakeRtf(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 2);
  Bytes out;
  PutAscii(out,
           "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
           "{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fmodern\\fcharset0 Courier New;}}\r\n"
           "{\\colortbl ;\\red0\\green0\\blue128;\\red128\\green0\\blue0;}\r\n"
           "\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs32 Tarnwick Pro 5.0\\cf0\\b0\\fs20\\par\r\n\\par\r\n",
           false);
  int section = 1;
  while (out.size() + 8 < size) {
    if (rng.PerMille(150)) {
      PutAscii(out, "\\pard\\cf2\\b\\fs24 " + std::to_string(section++) + ". " + Phrase(rng, 3) + "\\cf0\\b0\\fs20\\par\r\n", false);
    }
    std::string para = "\\pard\\fi-200\\li200 ";
    if (rng.PerMille(300)) para = "\\pard{\\pntext\\f0\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent200{\\pntxtb\\'B7}}\\fi-200\\li200 ";
    for (int i = static_cast<int>(rng.Range(1, 5)); i > 0; --i) {
      std::string s = Sentence(rng);
      if (rng.PerMille(200)) s = "\\b " + s + "\\b0";
      else if (rng.PerMille(150)) s = "{\\f2 " + Word(rng) + ".exe} " + s;
      para += s + " ";
    }
    PutAscii(out, para + "\\par\r\n", false);
  }
  const size_t body = size > 3 ? size - 3 : 0;  // room for the closing brace and line end
  out.resize(body, ' ');
  PutAscii(out, "}\r\n", false);
  out.resize(size);
  return out;
}

Bytes MakeIni(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 3);
  Bytes out;
  Line(out, "; " + name + " - Tarnwick Pro 5.0 settings");
  while (out.size() < size) {
    Line(out, "");
    Line(out, "[" + Capitalised(Word(rng)) + Capitalised(Word(rng)) + "]");
    for (uint32_t i = rng.Range(2, 14); i > 0; --i) {
      std::string value;
      switch (rng.Below(5)) {
        case 0: value = std::to_string(rng.Skewed(2000)); break;
        case 1: value = rng.PerMille(500) ? "1" : "0"; break;
        case 2: value = "vw" + Word(rng).substr(0, 3) + ".dll," + std::to_string(rng.Below(8)); break;
        case 3: value = "*." + Word(rng).substr(0, 3) + ";*." + Word(rng).substr(0, 3); break;
        default: value = Phrase(rng, static_cast<int>(rng.Range(1, 4))); break;
      }
      Line(out, Capitalised(Word(rng)) + Capitalised(Word(rng)) + "=" + value);
    }
  }
  return FinishText(out, size);
}

Bytes MakeText(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 4);
  Bytes out;
  Line(out, "TARNWICK PRO 5.0 - SOFTWARE LICENSE AGREEMENT");
  Line(out, "=============================================");
  Line(out, "");
  for (int clause = 1; out.size() < size; ++clause) {
    PutAscii(out, std::to_string(clause) + ". " + Wrapped(rng, static_cast<int>(rng.Range(2, 7)), 76), false);
    Line(out, "");
  }
  return FinishText(out, size);
}

Bytes MakeInf(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 5);
  Bytes out;
  Line(out, "; " + name + ": shell integration of Tarnwick Pro 5.0");
  Line(out, "[Version]");
  Line(out, "Signature=\"$CHICAGO$\"");
  Line(out, "Provider=%KELM%");
  Line(out, "");
  Line(out, "[DefaultInstall]");
  Line(out, "CopyFiles=TW.Copy");
  Line(out, "AddReg=TW.Reg");
  Line(out, "");
  Line(out, "[TW.Reg]");
  while (out.size() < size * 2 / 3) {
    Line(out, "HKLM,\"Software\\KELM\\Tarnwick\\CurrentVersion\\" + Capitalised(Word(rng)) + "\",\"" +
                  Capitalised(Word(rng)) + "\",0x" + std::to_string(rng.Below(2)) + ",\"" + Word(rng) + "\"");
    if (rng.PerMille(200)) Line(out, "HKCR,\"." + Word(rng).substr(0, 3) + "\",,,\"Tarnwick.Archive\"");
  }
  Line(out, "");
  Line(out, "[TW.Copy]");
  while (out.size() + 120 < size) Line(out, Word(rng).substr(0, 6) + ".dll");
  Line(out, "");
  Line(out, "[Strings]");
  Line(out, "KELM=\"KELM Software\"");
  return FinishText(out, size);
}

Bytes MakeTips(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 6);
  std::vector<std::string> tips;
  size_t total = 16;
  while (total < size) {
    std::string tip = Sentence(rng) + " " + Sentence(rng);
    if (rng.PerMille(400)) tip += " " + Sentence(rng);
    total += tip.size() + 1 + 4;
    tips.push_back(tip);
  }
  Bytes out;
  PutAscii(out, "TWTIPS50", false);
  Put32(out, static_cast<uint32_t>(tips.size()));
  Put32(out, 0);
  uint32_t offset = 16 + 4 * static_cast<uint32_t>(tips.size());
  for (const std::string& tip : tips) {
    Put32(out, offset);
    offset += static_cast<uint32_t>(tip.size() + 1);
  }
  for (const std::string& tip : tips) PutAscii(out, tip, true);
  out.resize(size);
  return out;
}

namespace {

// WinHelp's LZ77: groups of eight items behind a flag byte; a set bit is a 2-byte reference
// (12-bit distance - 1, 4-bit length - 3) into the last 4096 bytes, a clear bit one literal byte.
Bytes WinHelpCompress(const Bytes& in) {
  Bytes out;
  std::vector<int> head(1 << 12, -1);
  size_t i = 0;
  while (i < in.size()) {
    const size_t flagAt = out.size();
    out.push_back(0);
    for (int item = 0; item < 8 && i < in.size(); ++item) {
      size_t best = 0, bestDistance = 0;
      if (i + 3 <= in.size()) {
        const uint32_t h = (in[i] * 33u * 33u + in[i + 1] * 33u + in[i + 2]) & 0xFFF;
        const int candidate = head[h];
        if (candidate >= 0 && i - static_cast<size_t>(candidate) <= 4096) {
          size_t length = 0;
          while (length < 18 && i + length < in.size() && in[static_cast<size_t>(candidate) + length] == in[i + length]) ++length;
          if (length >= 3) {
            best = length;
            bestDistance = i - static_cast<size_t>(candidate);
          }
        }
        head[h] = static_cast<int>(i);
      }
      if (best) {
        out[flagAt] |= static_cast<uint8_t>(1 << item);
        const uint32_t code = static_cast<uint32_t>((bestDistance - 1) | (best - 3) << 12);
        Put16(out, code);
        i += best;
      } else {
        out.push_back(in[i++]);
      }
    }
  }
  return out;
}

}  // namespace

Bytes MakeHelpFile(const std::string& name, uint32_t size) {
  Rng rng = SeedFrom(name, 7);
  Bytes out;
  Put32(out, 0x00035F3F);  // WinHelp magic
  Put32(out, 0);           // directory start, patched
  Put32(out, 0xFFFFFFFF);  // first free block
  Put32(out, size);
  // |SYSTEM
  Put32(out, 0);
  Put16(out, 0x036C); Put16(out, 21); Put16(out, 1); Put32(out, 0x36E00000 + rng.Below(0x1000000)); Put16(out, 4);
  PutAscii(out, "Tarnwick Pro 5.0 Help", true);
  PutAscii(out, "Copyright (C) 1994-1999 KELM Software", true);
  int topic = 0;
  while (out.size() + 64 < size) {
    const uint32_t kind = rng.Below(100);
    if (kind < 72) {  // a |TOPIC block: 4 KiB of compressed topic text behind a block header
      Bytes text;
      while (text.size() < 6000) {
        PutAscii(text, "\x02" + Phrase(rng, static_cast<int>(rng.Range(2, 5))), true);  // topic title record
        Put32(text, static_cast<uint32_t>(++topic));
        for (int p = static_cast<int>(rng.Range(2, 8)); p > 0; --p) {
          PutAscii(text, Sentence(rng) + " " + Sentence(rng), true);
          Put8(text, 0x80 | rng.Below(8));  // formatting command
          Put16(text, rng.Skewed(200));
        }
      }
      // Topic blocks are stored either LZ77-compressed or plain, as the help compiler's
      // compression option left them.
      const Bytes packed = rng.PerMille(350) ? WinHelpCompress(text) : text;
      Put32(out, 0xFFFFFFFF);
      Put32(out, static_cast<uint32_t>(out.size()));
      Put32(out, static_cast<uint32_t>(topic));
      out.insert(out.end(), packed.begin(), packed.begin() + std::min<size_t>(packed.size(), 4084));
    } else if (kind < 82) {  // |CONTEXT B-tree leaf: context hashes and topic offsets
      Put16(out, 0); Put16(out, 0x0200); Put16(out, 0xFFFF); Put16(out, 0xFFFF);
      for (int k = 0; k < 256; ++k) {
        Put32(out, static_cast<uint32_t>(rng.Next()));
        Put32(out, (static_cast<uint32_t>(rng.Below(topic + 1)) << 14) | rng.Below(0x4000));
      }
    } else if (kind < 92) {  // |TTLBTREE: topic titles
      Put16(out, 0); Put16(out, 0x0100); Put16(out, 0xFFFF); Put16(out, 0xFFFF);
      for (int k = 0; k < 60; ++k) {
        Put32(out, static_cast<uint32_t>(k * 4096 + rng.Below(4096)));
        PutAscii(out, Phrase(rng, static_cast<int>(rng.Range(2, 5))), true);
      }
    } else {  // |bm: a run-length coded 16-colour picture
      PutAscii(out, "lp", false);
      Put16(out, 1);
      for (int row = 0; row < 120; ++row) {
        for (int run = 0; run < 12; ++run) {
          Put8(out, 0x80 | rng.Range(1, 40));
          Put8(out, rng.Skewed(16) * 0x11);
        }
      }
    }
  }
  out.resize(std::max<size_t>(size, 16), 0);
  Patch32(out, 4, size > 1024 ? static_cast<uint32_t>(size - 1024) : 16);
  out.resize(size);
  return out;
}
