#pragma once
// The record formats: recognising a file, and each format's reader. A reader
// returns the acceleration components the file holds (in the file's order)
// or throws a refusal naming the line at fault.
#include <vector>

#include "import/channel.h"
#include "import/source.h"

namespace import {

enum class format { unknown, smc, cosmos, at2, knet };

// Recognised from the content, never from the name.
format recognise(const text_file& f);

std::vector<channel> read_smc(const text_file& f);
std::vector<channel> read_cosmos(const text_file& f);
std::vector<channel> read_at2(const text_file& f);
std::vector<channel> read_knet(const text_file& f);

// Dispatches on recognise(); refuses an unrecognised file.
std::vector<channel> read_components(const text_file& f);

}  // namespace import
