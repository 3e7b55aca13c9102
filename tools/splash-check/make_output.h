// Where --make may write: never over its input or a file that is not a
// JPEG, and never under a name that hides what the file is.
#pragma once

#include <string>

namespace splash {

// Why `output` must not be written for `input`, or empty when it may.
std::string RefuseOutput(const std::string& output, const std::string& input);

// The name the new file is written under before it replaces `output`:
// beside it, "NAME.new.jpg" for "NAME.jpg".
std::string NewFileBeside(const std::string& output);

}  // namespace splash
