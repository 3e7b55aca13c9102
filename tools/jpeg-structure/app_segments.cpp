// APPn segments: JFIF, JFXX, EXIF, XMP, ICC and Adobe, and the JPEG
// thumbnails some of them carry.
#include <algorithm>

#include "segment_readers.h"

namespace splash {
namespace {

// The segment's data starts with the `n` bytes of `id`.
bool StartsWith(ByteView b, std::uint32_t begin, std::uint32_t end, const char* id, std::uint32_t n)
{
    if (begin + n > end)
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        if (b.At(begin + i) != static_cast<std::uint8_t>(id[i]))
            return false;
    return true;
}

// A TIFF structure's 16- and 32-bit values in its byte order.
struct Tiff {
    ByteView b;
    bool little;
    std::uint32_t U16(std::uint64_t p) const
    {
        return little ? b.At(p) | (b.At(p + 1) << 8) : (b.At(p) << 8) | b.At(p + 1);
    }
    std::uint32_t U32(std::uint64_t p) const { return little ? U16(p) | (U16(p + 2) << 16) : (U16(p) << 16) | U16(p + 2); }
};

// IFD0's orientation and IFD1's thumbnail offset and length (relative to the TIFF header).
void ReadIfds(const Tiff& t, std::uint32_t tiff, std::uint32_t end, AppRecord& a, std::uint32_t (&thumb)[2])
{
    std::uint64_t ifd = t.U32(tiff + 4);
    for (int which = 0; which < 2 && ifd != 0; ++which) {
        std::uint64_t p = tiff + ifd;
        if (p + 2 > end)
            return;
        std::uint32_t count = t.U16(p);
        for (std::uint32_t i = 0; i < count && p + 2 + 12 * i + 12 <= end; ++i) {
            std::uint64_t e = p + 2 + 12 * i;
            std::uint32_t tag = t.U16(e);
            std::uint32_t value = t.U16(e + 2) == 3 ? t.U16(e + 8) : t.U32(e + 8);  // type 3: SHORT
            if (which == 0 && tag == 0x0112)
                a.exifOrientation = static_cast<std::uint16_t>(value);
            if (which == 1 && (tag == 0x0201 || tag == 0x0202))
                thumb[tag - 0x0201] = value;
        }
        std::uint64_t next = p + 2 + 12 * std::uint64_t{count};
        ifd = next + 4 <= end ? t.U32(next) : 0;
    }
}

// TIFF header, IFD0 (orientation) and IFD1 (JPEG thumbnail).
void ReadExif(ByteView b, AppRecord& a, std::uint32_t tiff, std::uint32_t end)
{
    if (tiff + 8 > end)
        return;
    bool little = b.At(tiff) == 'I' && b.At(tiff + 1) == 'I';
    if (!little && !(b.At(tiff) == 'M' && b.At(tiff + 1) == 'M'))
        return;
    std::uint32_t thumb[2] = {0, 0};  // offset, length
    ReadIfds(Tiff{b, little}, tiff, end, a, thumb);
    std::uint64_t start = tiff + std::uint64_t{thumb[0]};
    if (thumb[0] != 0 && start + 2 <= end && b.At(start) == 0xFF && b.At(start + 1) == 0xD8) {
        a.hasThumbnail = true;
        a.thumbnailOffset = static_cast<std::uint32_t>(start);
        // The IFD's length is not trusted past the segment's end.
        a.thumbnailLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(thumb[1], end - start));
    }
}

// The kind of an APPn segment by its number and identifier, with what that kind carries.
void ReadKind(ByteView b, AppRecord& a, std::uint32_t begin, std::uint32_t end)
{
    auto is = [&](const char* id, std::uint32_t n) { return StartsWith(b, begin, end, id, n); };
    a.kind = "other";
    if (a.number == 0 && is("JFIF\0", 5)) {
        a.kind = "JFIF";
    } else if (a.number == 0 && is("JFXX\0", 5)) {
        a.kind = "JFXX";
        if (begin + 6 <= end && b.At(begin + 5) == 0x10) {  // extension 0x10: a JPEG thumbnail
            a.hasThumbnail = true;
            a.thumbnailOffset = begin + 6;
            a.thumbnailLength = end - (begin + 6);
        }
    } else if (a.number == 1 && is("Exif\0", 5)) {
        a.kind = "Exif";
        ReadExif(b, a, begin + 6, end);
    } else if (a.number == 1 && is("http://ns.adobe.com/xap", 23)) {
        a.kind = "XMP";
    } else if (a.number == 2 && is("ICC_PROFILE\0", 12)) {
        a.kind = "ICC_PROFILE";
    } else if (a.number == 14 && is("Adobe", 5)) {
        a.kind = "Adobe";
        if (begin + 12 <= end)
            a.adobeTransform = b.At(begin + 11);
    }
}

}  // namespace

// The record of one APPn segment.
AppRecord ReadApp(ByteView b, std::uint32_t offset, std::uint8_t number, std::uint32_t begin, std::uint32_t end)
{
    AppRecord a{};
    a.offset = offset;
    a.number = number;
    a.length = end - begin + 2;
    ReadKind(b, a, begin, end);
    // Any embedded JPEG stream counts as a thumbnail.
    for (std::uint32_t p = begin; !a.hasThumbnail && p + 3 <= end; ++p) {
        if (b.At(p) == 0xFF && b.At(p + 1) == 0xD8 && b.At(p + 2) == 0xFF) {
            a.hasThumbnail = true;
            a.thumbnailOffset = p;
            a.thumbnailLength = end - p;
        }
    }
    return a;
}

}  // namespace splash
