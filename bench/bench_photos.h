// Photographs from files, beside the drawn pictures (scripts/fetch-photos.sh
// fills the folder).
#pragma once

#include <string>
#include <vector>

#include "bench/bench_pictures.h"

// Every *.jpg in `folder`, sorted by name, each named "photo-" and its file
// name without ".jpg". False, with a one-line message on stderr, when the
// folder cannot be read, holds no picture, or a picture has no readable size.
bool LoadPhotos(const std::string& folder, std::vector<BenchPicture>* photos);

// One file as a picture named `name`; false, with a message, when unreadable.
bool LoadPhoto(const std::string& path, const std::string& name, BenchPicture* photo);
