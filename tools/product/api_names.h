// Imports for generated modules.
#pragma once
#include <string>
#include <vector>

#include "tools/product/product.h"

struct ImportedLibrary {
  std::string name;
  std::vector<const char*> functions;
};

// About wanted functions from the system libraries that a module of this recipe would use; the
// first library's first function is always ExitProcess (programs) or IofCompleteRequest (drivers).
std::vector<ImportedLibrary> PickImports(Rng& rng, Recipe recipe, size_t wanted);
