// The product description of a described setup, read from the
// executable's own resource before anything is written.
#pragma once

#include "format/product_description.h"

enum class DescriptionStatus { kAbsent, kPresent, kMalformed };

// kAbsent for a setup without the resource (it behaves as it always did),
// kMalformed for one whose description breaks any rule.
DescriptionStatus loadProductDescription(ProductDescription* description);
