// Whether a prepared picture needs colour at all.
#include "grey_jpeg.h"

namespace splash {

bool IsGrey(const Picture& rgb)
{
    for (std::size_t i = 0; i + 2 < rgb.data.size(); i += 3)
        if (rgb.data[i] != rgb.data[i + 1] || rgb.data[i] != rgb.data[i + 2])
            return false;
    return true;
}

}  // namespace splash
