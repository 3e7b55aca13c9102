// Decoding speed from memory: this decoder against its own reference
// build, libjpeg-turbo (default and fastest comparable settings) and stb_image
// (scalar and SSE2), on pictures the program draws and encodes itself.
// Reported: MP/s per decoder and picture, and, at the end, the ratio of this
// decoder to each other one in the same run.
//
//   jpeg-bench [--photos DIR] [benchmark flags]
//                                          the benchmarks (scripts/bench.sh), with
//                                          DIR's photographs when given
//   jpeg-bench --callgrind DECODER PICTURE one decode, instrumented for
//                                          callgrind (scripts/bench-callgrind.sh);
//                                          PICTURE may be a .jpg file
//   jpeg-bench --write PICTURE FILE        writes one of the pictures to FILE
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
// Without valgrind's headers the callgrind mode still runs, uninstrumented.
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "bench/stb_decoders.h"
#include "bench/bench_photos.h"
#include "bench/bench_pictures.h"
#include "jpeg/alloc.h"
#include "jpeg/decode_jpeg.h"
#include "jpeg/jpeg_paths.h"
#include "jpeg/reference_decoder.h"

namespace {

// ---- Decoders -------------------------------------------------------------

enum class Decoder { kThisScalar, kThisSse2, kThisAvx2, kReference, kTurbo, kTurboFast, kStbScalar, kStbSimd };

const struct {
    Decoder decoder;
    const char* name;
} kDecoders[] = {
    {Decoder::kThisScalar, "this-scalar"},  // this decoder, each of its paths forced
    {Decoder::kThisSse2, "this-sse2"},
    {Decoder::kThisAvx2, "this-avx2"},
    {Decoder::kReference, "reference"},    // the reference build (reference path)
    {Decoder::kTurbo, "turbo"},            // libjpeg-turbo defaults: JDCT_ISLOW, fancy upsampling
    {Decoder::kTurboFast, "turbo-fast"},   // JDCT_IFAST, no fancy upsampling
    {Decoder::kStbScalar, "stb-scalar"},   // STBI_NO_SIMD
    {Decoder::kStbSimd, "stb-simd"},
};

// The path a "this-..." decoder forces; none for the others.
bool PathOf(Decoder decoder, JpegPath* path)
{
    switch (decoder) {
    case Decoder::kThisScalar: *path = JpegPath::kScalar; return true;
    case Decoder::kThisSse2: *path = JpegPath::kSse2; return true;
    case Decoder::kThisAvx2: *path = JpegPath::kAvx2; return true;
    default: return false;
    }
}

// True when `decoder` can run on this processor.
bool Runs(Decoder decoder)
{
    JpegPath path;
    return !PathOf(decoder, &path) || JpegPathSupported(path);
}

// libjpeg-turbo's decompressor, set up once and reused for every decode as a
// program decoding many pictures would.
class TurboDecoder {
public:
    TurboDecoder()
    {
        info_.err = jpeg_std_error(&errors_);
        jpeg_create_decompress(&info_);
    }
    ~TurboDecoder() { jpeg_destroy_decompress(&info_); }
    TurboDecoder(const TurboDecoder&) = delete;
    TurboDecoder& operator=(const TurboDecoder&) = delete;

    // Decodes to 32-bit B, G, R, 0xFF pixels, the layout this decoder gives.
    std::uint8_t* Decode(const BenchPicture& picture, bool fast)
    {
        jpeg_mem_src(&info_, picture.jpeg.data(), picture.jpeg.size());
        jpeg_read_header(&info_, TRUE);
        info_.out_color_space = JCS_EXT_BGRA;
        if (fast) {
            info_.dct_method = JDCT_IFAST;
            info_.do_fancy_upsampling = FALSE;
        }
        jpeg_start_decompress(&info_);
        std::size_t stride = std::size_t{info_.output_width} * 4;
        // Zero-filled, as this decoder's block is (calloc here, LocalAlloc with
        // LMEM_ZEROINIT in the DLL): both pay for a fresh buffer alike.
        auto* pixels = static_cast<std::uint8_t*>(std::calloc(stride * info_.output_height, 1));
        rows_.resize(info_.output_height);
        for (JDIMENSION row = 0; row < info_.output_height; ++row)
            rows_[row] = pixels + row * stride;
        while (info_.output_scanline < info_.output_height)
            jpeg_read_scanlines(&info_, rows_.data() + info_.output_scanline,
                                info_.output_height - info_.output_scanline);
        jpeg_finish_decompress(&info_);
        return pixels;
    }

private:
    jpeg_decompress_struct info_;
    jpeg_error_mgr errors_;
    std::vector<JSAMPROW> rows_;
};

// One decode with `decoder`. When `bgraOut` is given it receives the pixels as
// B, G, R, A bytes. False when the decoder refused the picture.
bool DecodeOnce(Decoder decoder, const BenchPicture& picture, TurboDecoder& turbo,
                std::vector<std::uint8_t>* bgraOut = nullptr)
{
    std::size_t bytes = std::size_t{picture.width} * picture.height * 4;
    int width = 0, height = 0;
    unsigned char* rgba = nullptr;
    JpegPath path;
    switch (decoder) {
    case Decoder::kThisScalar:
    case Decoder::kThisSse2:
    case Decoder::kThisAvx2:
    case Decoder::kReference: {
        bool reference = !PathOf(decoder, &path);
        if (!reference && !JpegForcePath(path))
            return false;
        auto decode = reference ? ReferenceDecodeJpeg : DecodeJpeg;
        std::uint32_t* pixels = nullptr;
        std::uint32_t w = 0, h = 0, bitsPerPixel = 0;
        if (!decode(picture.jpeg.data(), static_cast<std::uint32_t>(picture.jpeg.size()), &pixels, &w, &h,
                    &bitsPerPixel) ||
            w != picture.width || h != picture.height) {
            FreeBlock(pixels);
            return false;
        }
        if (bgraOut) {
            // 0xFFRRGGBB in little-endian memory is B, G, R, A.
            bgraOut->resize(bytes);
            std::memcpy(bgraOut->data(), pixels, bytes);
        }
        benchmark::DoNotOptimize(pixels);
        FreeBlock(pixels);
        return true;
    }
    case Decoder::kTurbo:
    case Decoder::kTurboFast: {
        std::uint8_t* pixels = turbo.Decode(picture, decoder == Decoder::kTurboFast);
        if (bgraOut)
            bgraOut->assign(pixels, pixels + bytes);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
        return true;
    }
    case Decoder::kStbScalar:
    case Decoder::kStbSimd: {
        bool scalar = decoder == Decoder::kStbScalar;
        int size = static_cast<int>(picture.jpeg.size());
        rgba = scalar ? StbDecodeScalar(picture.jpeg.data(), size, &width, &height)
                      : StbDecodeSimd(picture.jpeg.data(), size, &width, &height);
        bool ok = rgba && static_cast<std::uint32_t>(width) == picture.width &&
                  static_cast<std::uint32_t>(height) == picture.height;
        if (ok && bgraOut) {
            bgraOut->resize(bytes);
            for (std::size_t i = 0; i < bytes; i += 4) {
                (*bgraOut)[i] = rgba[i + 2];
                (*bgraOut)[i + 1] = rgba[i + 1];
                (*bgraOut)[i + 2] = rgba[i];
                (*bgraOut)[i + 3] = rgba[i + 3];
            }
        }
        benchmark::DoNotOptimize(rgba);
        if (rgba)
            scalar ? StbFreeScalar(rgba) : StbFreeSimd(rgba);
        return ok;
    }
    }
    return false;
}

// ---- Sanity check ---------------------------------------------------------

// Every decoder must give nearly libjpeg-turbo's default picture, so that no
// benchmark times a decoder that refused the stream or decoded garbage. The
// bound allows for the other transforms and box upsampling: the mean
// difference measured was at most 1.63 of 255 per channel (this decoder, 4:2:0).
// This decoder must give exactly the reference build's pixels.
constexpr double kMaxMeanDifference = 4.0;

bool CheckDecoders(const std::vector<BenchPicture>& pictures)
{
    TurboDecoder turbo;
    for (const BenchPicture& picture : pictures) {
        std::vector<std::uint8_t> expected, actual, reference;
        DecodeOnce(Decoder::kTurbo, picture, turbo, &expected);
        DecodeOnce(Decoder::kReference, picture, turbo, &reference);
        for (const auto& d : kDecoders) {
            if (!Runs(d.decoder))
                continue;
            if (!DecodeOnce(d.decoder, picture, turbo, &actual)) {
                std::fprintf(stderr, "jpeg-bench: %s cannot decode %s\n", d.name, picture.name.c_str());
                return false;
            }
            JpegPath path;
            if (PathOf(d.decoder, &path) && actual != reference) {
                std::fprintf(stderr, "jpeg-bench: %s and the reference build differ on %s\n", d.name,
                             picture.name.c_str());
                return false;
            }
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < expected.size(); ++i)
                if (i % 4 != 3)
                    sum += static_cast<std::uint64_t>(std::abs(expected[i] - actual[i]));
            double mean = static_cast<double>(sum) / (static_cast<double>(expected.size()) * 3 / 4);
            if (mean > kMaxMeanDifference) {
                std::fprintf(stderr, "jpeg-bench: %s decodes %s to other pixels (mean difference %.2f)\n",
                             d.name, picture.name.c_str(), mean);
                return false;
            }
        }
    }
    return true;
}

// ---- Benchmarks and the ratio summary -------------------------------------

void RegisterDecodes(const std::vector<BenchPicture>& pictures)
{
    for (const BenchPicture& picture : pictures) {
        for (const auto& d : kDecoders) {
            if (!Runs(d.decoder))
                continue;
            std::string name = std::string(d.name) + "/" + picture.name;
            Decoder decoder = d.decoder;
            const BenchPicture* p = &picture;
            benchmark::RegisterBenchmark(name.c_str(), [decoder, p](benchmark::State& state) {
                TurboDecoder turbo;
                for (auto _ : state)
                    if (!DecodeOnce(decoder, *p, turbo))
                        state.SkipWithError("decode failed");
                double megapixels = static_cast<double>(p->width) * p->height / 1e6;
                state.counters["MP/s"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
                state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p->jpeg.size()));
            })->Unit(benchmark::kMillisecond);
        }
        benchmark::AddCustomContext("bytes " + picture.name, std::to_string(picture.jpeg.size()));
    }
}

// The median of some samples; 0 when there are none.
double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A value in the ratio table's column width; "-" when there is none.
void PrintValue(double value, int decimals)
{
    if (value > 0)
        std::printf(" %11.*f", decimals, value);
    else
        std::printf(" %11s", "-");
}

// The console output, followed by a table of median MP/s per picture and the
// ratio of this decoder to each of the others, all from this run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // `self` is the decoder the others are compared with.
    RatioReporter(std::string self, std::vector<std::string> pictureNames)
        : self_(std::move(self)), pictures_(std::move(pictureNames))
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto counter = run.counters.find("MP/s");
            if (run.error_occurred || counter == run.counters.end())
                continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration)
                samples_[name].push_back(counter->second.value);
            else if (run.aggregate_name == "median")
                medians_[name] = counter->second.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const char* forceNone = std::getenv("JSIMD_FORCENONE");
        bool turboScalar = forceNone && std::strcmp(forceNone, "1") == 0;
        std::printf("\nMedian MP/s, libjpeg-turbo %s; %s / other, same run:\n",
                    turboScalar ? "scalar (JSIMD_FORCENONE=1)" : "with SIMD", self_.c_str());
        std::printf("%-20s", "picture");
        for (const auto& d : kDecoders)
            std::printf(" %11s", d.name);
        for (const auto& d : kDecoders)
            if (d.name != self_)
                std::printf(" %11s", (std::string("/") + d.name).c_str());
        std::printf("\n");
        for (const std::string& picture : pictures_) {
            bool measured = false;
            for (const auto& d : kDecoders)
                measured = measured || Median(std::string(d.name) + "/" + picture) > 0;
            if (!measured)
                continue;
            double self = Median(self_ + "/" + picture);
            std::printf("%-20s", picture.c_str());
            for (const auto& d : kDecoders)
                PrintValue(Median(std::string(d.name) + "/" + picture), 1);
            for (const auto& d : kDecoders) {
                if (d.name == self_)
                    continue;
                double other = Median(std::string(d.name) + "/" + picture);
                PrintValue(self > 0 && other > 0 ? self / other : 0, 2);
            }
            std::printf("\n");
        }
    }

private:
    // The median aggregate when repetitions gave one, else the median sample;
    // 0 when the benchmark did not run.
    double Median(const std::string& name)
    {
        if (auto found = medians_.find(name); found != medians_.end())
            return found->second;
        auto found = samples_.find(name);
        return found == samples_.end() ? 0 : MedianOf(found->second);
    }

    std::string self_;
    std::vector<std::string> pictures_;
    std::map<std::string, std::vector<double>> samples_;
    std::map<std::string, double> medians_;
};

// ---- Callgrind mode -------------------------------------------------------

// One decode of one picture, with only that decode instrumented (run under
// valgrind --tool=callgrind --instr-atstart=no). A first, uninstrumented
// decode settles lazy symbol binding and libjpeg-turbo's one-time set-up.
int RunCallgrind(const char* decoderName, const char* pictureName)
{
    const Decoder* decoder = nullptr;
    for (const auto& d : kDecoders)
        if (std::strcmp(d.name, decoderName) == 0)
            decoder = &d.decoder;
    std::string file = pictureName;
    std::vector<BenchPicture> pictures;
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".jpg") == 0) {
        pictures.emplace_back();
        if (!LoadPhoto(file, file, &pictures[0]))
            return 1;
    } else {
        pictures = MakeBenchPictures(pictureName);
    }
    if (!decoder || pictures.empty()) {
        std::fprintf(stderr, "jpeg-bench: unknown decoder '%s' or picture '%s'\n", decoderName, pictureName);
        return 2;
    }
    TurboDecoder turbo;
    bool ok = DecodeOnce(*decoder, pictures[0], turbo);
    CALLGRIND_START_INSTRUMENTATION;
    ok = DecodeOnce(*decoder, pictures[0], turbo) && ok;
    CALLGRIND_STOP_INSTRUMENTATION;
    if (!ok) {
        std::fprintf(stderr, "jpeg-bench: %s cannot decode %s\n", decoderName, pictureName);
        return 1;
    }
    return 0;
}

// Writes the picture named `pictureName` to `path`; 0 on success.
int WritePicture(const char* pictureName, const char* path)
{
    std::vector<BenchPicture> pictures = MakeBenchPictures(pictureName);
    if (pictures.empty()) {
        std::fprintf(stderr, "jpeg-bench: unknown picture '%s'\n", pictureName);
        return 2;
    }
    std::FILE* file = std::fopen(path, "wb");
    bool written = file && std::fwrite(pictures[0].jpeg.data(), 1, pictures[0].jpeg.size(), file) ==
                               pictures[0].jpeg.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written) {
        std::fprintf(stderr, "jpeg-bench: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--callgrind") == 0) {
        if (argc != 4) {
            std::fprintf(stderr, "usage: jpeg-bench --callgrind DECODER PICTURE\n");
            return 2;
        }
        return RunCallgrind(argv[2], argv[3]);
    }

    if (argc >= 2 && std::strcmp(argv[1], "--write") == 0) {
        if (argc != 4) {
            std::fprintf(stderr, "usage: jpeg-bench --write PICTURE FILE\n");
            return 2;
        }
        return WritePicture(argv[2], argv[3]);
    }

    std::string photos;
    if (argc >= 3 && std::strcmp(argv[1], "--photos") == 0) {
        photos = argv[2];
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    // The path this processor runs by default, before any is forced.
    std::string self = std::string("this-") + JpegPathName(JpegActivePath());
    std::vector<BenchPicture> pictures = MakeBenchPictures();
    if (!photos.empty() && !LoadPhotos(photos, &pictures))
        return 1;
    if (!CheckDecoders(pictures))
        return 1;
    RegisterDecodes(pictures);

    std::vector<std::string> names;
    for (const BenchPicture& picture : pictures)
        names.push_back(picture.name);
    RatioReporter reporter(self, names);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
