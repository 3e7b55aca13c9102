// The one place where the decoder's path is chosen: a kernel record per path,
// the best one by the processor's features (CPUID and XGETBV), once per process.
#include "jpeg/jpeg_paths.h"

#include "jpeg/jpeg_kernels.h"
#include "jpeg/jpeg_state.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

JPEG_NAMESPACE_BEGIN

namespace {

// Indexed by JpegPath.
const JpegKernels kPathKernels[] = {
    {JpegDecodeMcuReference, JpegInverseTransform, JpegStoreMcuReference, JpegFinishMcusReference},
    {JpegDecodeMcuScalar, JpegInverseTransform, JpegStoreMcuScalar, JpegFinishMcusScalar},
    {JpegDecodeMcuScalar, JpegInverseTransformSse2, JpegStoreMcuSse2, JpegFinishMcusScalar},
    {JpegDecodeMcuScalar, JpegInverseTransformAvx2, JpegStoreMcuAvx2, JpegFinishMcusScalar},
};

#if defined(__i386__) || defined(__x86_64__)
bool CpuHasSse2()
{
    unsigned int a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) != 0 && (d & bit_SSE2) != 0;
}

// AVX2 needs the processor's flag and the system's saving of the YMM registers.
bool CpuHasAvx2()
{
    unsigned int a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0)
        return false;
    unsigned int low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0x6) != 0x6)  // XMM and YMM state
        return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_AVX2) != 0;
}
#else
bool CpuHasSse2() { return false; }
bool CpuHasAvx2() { return false; }
#endif

JpegPath JpegBestPath()
{
    if (JpegPathSupported(JpegPath::kAvx2))
        return JpegPath::kAvx2;
    if (JpegPathSupported(JpegPath::kSse2))
        return JpegPath::kSse2;
    return JpegPath::kScalar;
}

JpegPath activePath = JpegBestPath();

}  // namespace

const char* JpegPathName(JpegPath path)
{
    switch (path) {
    case JpegPath::kReference: return "reference";
    case JpegPath::kScalar: return "scalar";
    case JpegPath::kSse2: return "sse2";
    case JpegPath::kAvx2: return "avx2";
    }
    return "?";
}

bool JpegPathSupported(JpegPath path)
{
    switch (path) {
    case JpegPath::kReference: return true;
    case JpegPath::kScalar: return true;
    case JpegPath::kSse2: return CpuHasSse2();
    case JpegPath::kAvx2: return CpuHasAvx2();
    }
    return false;
}

JpegPath JpegActivePath()
{
    return activePath;
}

bool JpegForcePath(JpegPath path)
{
    if (!JpegPathSupported(path))
        return false;
    activePath = path;
    return true;
}

const JpegKernels& JpegPrepareScan()
{
    if (activePath != JpegPath::kReference)
        JpegPrepareScalarEntropy();
    return kPathKernels[static_cast<std::uint32_t>(activePath)];
}

JPEG_NAMESPACE_END
