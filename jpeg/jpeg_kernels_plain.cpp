// The reference build's kernels: the straightforward ones, always.
#include "jpeg/jpeg_kernels.h"

JPEG_NAMESPACE_BEGIN

const JpegKernels& JpegPrepareScan()
{
    static const JpegKernels kPlain = {JpegDecodeMcuPlain, JpegStoreMcuPlain};
    return kPlain;
}

JPEG_NAMESPACE_END
