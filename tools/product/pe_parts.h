// Pieces of the generated PE images: machine code, resources and the image layout between them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/product/product.h"

// What the code generator may refer to, and what it reports back.
struct CodeContext {
  uint32_t imageBase = 0;
  uint32_t sectionRva = 0;              // RVA of the first byte of the section being generated
  std::vector<uint32_t> importSlots;    // VAs of import address table slots (call [slot])
  std::vector<uint32_t> dataAddresses;  // VAs of strings and tables (push / mov operands)
  std::vector<uint32_t> relocations;    // out: RVAs of every 32-bit absolute address emitted
  std::vector<uint32_t> functions;      // out: RVAs of function starts
  uint32_t repeatPerMille = 120;        // how often a recent instruction run is reused
  uint8_t functionPadding = 0xCC;       // between functions: int3 or nop
};

// Appends size bytes of compiled-looking 32-bit x86 code to out. The first appended byte lies
// at context.sectionRva; bytes already in out are left alone.
void GenerateCode(Rng& rng, Bytes& out, size_t size, CodeContext& context);

// One resource of a module: type and name are numeric ids, language 0x409.
struct Resource {
  uint16_t type;
  uint16_t id;
  Bytes data;
};
// The .rsrc section contents for resources placed at sectionRva.
Bytes BuildResourceSection(const std::vector<Resource>& resources, uint32_t sectionRva);

// Resources typical of a module, about budget bytes in all.
void AddVersionResource(std::vector<Resource>& out, const std::string& fileName, const std::string& description);
void AddStringTables(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
void AddDialogs(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
void AddMenus(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
void AddIcons(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
void AddToolbarBitmaps(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
// Already compressed pictures (JPEG-like): incompressible.
void AddPictures(Rng& rng, std::vector<Resource>& out, size_t budget, uint16_t firstId);
