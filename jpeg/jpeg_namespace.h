// The decoder's symbols live in an inline namespace, so that the tests can link a
// second build of it, the reference build (JPEG_REFERENCE), beside this one.
#pragma once

#ifdef JPEG_REFERENCE
#define JPEG_NAMESPACE_BEGIN inline namespace jpeg_reference {
#else
#define JPEG_NAMESPACE_BEGIN inline namespace jpeg_core {
#endif
#define JPEG_NAMESPACE_END }
