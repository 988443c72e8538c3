#include "app/description_resource.h"

#include "platform/platform.h"

DescriptionStatus loadProductDescription(ProductDescription* description) {
    const platform::ResourceBytes resource =
        platform::loadResource(kDescriptionResourceType, kDescriptionResourceId);
    if (resource.bytes == nullptr) {
        return DescriptionStatus::kAbsent;
    }
    return readProductDescription(resource.bytes, resource.size, description,
                                  platform::isDbcsLeadByte)
               ? DescriptionStatus::kPresent
               : DescriptionStatus::kMalformed;
}
