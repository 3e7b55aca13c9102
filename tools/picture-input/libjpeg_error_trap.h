// libjpeg-turbo's errors turned into a message: error_exit keeps the
// library's text and jumps back out of it (it owns no C++ objects).
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace splash {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

// error_exit: keep the library's message and leave the library.
inline void Escape(j_common_ptr info)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    trap->manager.format_message(info, trap->message);
    std::longjmp(trap->back, 1);
}

}  // namespace splash
