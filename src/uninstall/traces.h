// What a described setup leaves outside its folder: shortcuts and
// registry keys, removed under both scopes and both roots.
#pragma once

#include "format/product_description.h"

// The desktop link and the start-menu folder with its two links, the
// user's and the machine-wide ones. False when one exists and stays.
bool removeShortcuts(const ProductDescription& product);

// The uninstall entry, the application key and the document type's keys,
// under both roots. False when one exists and cannot be removed.
bool removeRegistryKeys(const ProductDescription& product);
