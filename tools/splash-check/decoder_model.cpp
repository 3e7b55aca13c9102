// The decoder's header phase replayed over the file: the same reads in the
// same order, so that every marker it will see, and every one it will miss,
// is known before the picture is shown.
#include "decoder_model.h"

#include "jpeg_structure.h"

namespace splash {
namespace {

class Replay {
public:
    Replay(std::span<const std::uint8_t> bytes, DecoderView& view) : bytes_(bytes), v_(view) {}

    // The marker search from SOI to the scan start, EOI or the end of the data.
    void Run()
    {
        v_.startsWithSoi = ReadByte() == 0xFF && ReadByte() == 0xD8;
        if (!v_.startsWithSoi)
            return;
        while (!exhausted_) {
            if (ReadByte() != 0xFF)
                continue;
            std::uint32_t offset = cursor_ - 1;
            std::uint8_t code = ReadByte();
            if (code < 0xC0 || code > 0xE0 || exhausted_)
                continue;
            switch (code) {
            case 0xC0:
            case 0xC1:
                Note(offset, code, true);
                ParseFrame(offset);
                break;
            case 0xC4: {
                bool full = v_.acTableCount >= 2 && v_.dcTableCount >= 2;
                Note(offset, code, !full);
                if (!full)
                    ParseHuffman();
                break;
            }
            case 0xD9:
                Note(offset, code, true);
                v_.endedAtEoi = true;
                return;
            case 0xDA:
                Note(offset, code, true);
                ParseScan();
                if ((v_.dcTableCount == 2 && v_.acTableCount == 2 && v_.quantTableCount == 2) ||
                    v_.scanComponentCount == 1) {
                    v_.scanStarted = true;
                    v_.scanOffset = offset;
                    v_.dataOffset = cursor_;
                    return;
                }
                break;
            case 0xDB: {
                bool full = v_.quantTableCount >= 2;
                Note(offset, code, !full);
                if (!full)
                    ParseQuant();
                break;
            }
            case 0xDD:
                Note(offset, code, true);
                ReadWord();
                v_.restartInterval = ReadWord();
                break;
            case 0xE0:
                Note(offset, code, true);
                for (int i = 0; i < 14; ++i)  // length word and 12 bytes
                    ReadByte();
                break;
            default:
                break;
            }
        }
    }

    std::uint64_t Cursor() const { return cursor_; }

private:
    std::uint8_t ReadByte()
    {
        if (cursor_ >= bytes_.size()) {
            exhausted_ = true;
            return 0;
        }
        return bytes_[cursor_++];
    }

    std::uint16_t ReadWord()
    {
        std::uint16_t high = ReadByte();
        return static_cast<std::uint16_t>((high << 8) | ReadByte());
    }

    void Note(std::uint32_t offset, std::uint8_t code, bool parsed)
    {
        if (v_.actions.size() < kMaxListed)
            v_.actions.push_back({offset, code, parsed});
    }

    // SOF0/SOF1 as the decoder reads it: nothing kept unless 8-bit.
    void ParseFrame(std::uint32_t offset)
    {
        ReadWord();
        if (ReadByte() != 8)
            return;
        v_.frameRead = true;
        v_.frameOffset = offset;
        v_.height = ReadWord();
        v_.width = ReadWord();
        std::uint8_t count = ReadByte();
        for (int i = 0; i < count; ++i) {
            std::uint8_t id = ReadByte();
            std::uint8_t sampling = ReadByte();
            std::uint8_t selector = ReadByte();
            if (id == 1) {
                v_.ySamplingProduct = static_cast<std::uint16_t>((sampling >> 4) * (sampling & 0x0F));
                v_.yQuantSelector = selector;
            } else if (id == 2 || id == 3) {
                v_.chromaQuantSelector = selector;
            }
        }
    }

    // DHT: every table counted; indexes above 0 all land in table 1.
    void ParseHuffman()
    {
        std::uint16_t length = ReadWord();
        std::uint16_t position = 2;
        bool exhaustedBefore;
        do {
            exhaustedBefore = exhausted_;
            std::uint32_t record = cursor_;
            std::uint8_t classAndIndex = ReadByte();
            bool isAc = (classAndIndex & 0x10) != 0;
            int index = (classAndIndex & 0x0F) != 0 ? 1 : 0;
            std::uint32_t total = 0;
            for (int l = 0; l < 16; ++l)
                total += ReadByte();
            for (std::uint32_t i = 0; i < total; ++i)
                ReadByte();
            (isAc ? v_.ac : v_.dc)[index] = record;
            ++(isAc ? v_.acTableCount : v_.dcTableCount);
            position = static_cast<std::uint16_t>(position + 17 + total);
            // Cut short, the decoder reads one more table of zeros.
        } while (position < length && !exhaustedBefore);
    }

    // DQT: stops at a 16-bit table; indexes above 1 are counted but not kept.
    void ParseQuant()
    {
        std::uint16_t length = ReadWord();
        std::uint16_t position = 2;
        bool exhaustedBefore;
        do {
            exhaustedBefore = exhausted_;
            std::uint32_t record = cursor_;
            std::uint8_t precisionAndIndex = ReadByte();
            if ((precisionAndIndex >> 4) != 0) {
                v_.sixteenBitTableStop = true;
                return;
            }
            std::uint8_t index = precisionAndIndex & 0x0F;
            position = static_cast<std::uint16_t>(position + 65);
            for (int k = 0; k < 64; ++k)
                ReadByte();
            if (index <= 1)
                v_.quant[index] = record;
            ++v_.quantTableCount;
        } while (position < length && !exhaustedBefore);
    }

    // SOS: refused at a count other than 1 and 3 or an unknown identifier.
    void ParseScan()
    {
        ReadWord();
        std::uint8_t count = ReadByte();
        if (count != 1 && count != 3) {
            v_.scanHeaderRefused = true;
            return;
        }
        v_.scanComponentCount = count;
        v_.scanHeaderRefused = false;
        for (int i = 0; i < count; ++i) {
            std::uint8_t id = ReadByte();
            if (id != 1 && id != 2 && id != 3) {
                v_.scanHeaderRefused = true;
                return;
            }
            std::uint8_t b = ReadByte();
            if (id == 1) {
                v_.yDcSelector = b >> 4;
                v_.yAcSelector = b & 0x0F;
            } else {
                v_.chromaDcSelector = b >> 4;
                v_.chromaAcSelector = b & 0x0F;
            }
        }
        cursor_ += 3;  // spectral selection and approximation, not looked at
    }

    std::span<const std::uint8_t> bytes_;
    DecoderView& v_;
    std::uint64_t cursor_ = 0;
    bool exhausted_ = false;
};

}  // namespace

DecoderView ModelDecoder(std::span<const std::uint8_t> bytes)
{
    DecoderView view;
    Replay replay(bytes, view);
    replay.Run();
    view.endOffset = replay.Cursor();
    return view;
}

}  // namespace splash
