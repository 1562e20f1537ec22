// The text settings (dbpath, mtcpath, bookfile) may be changed by
// enginecommand on one host thread while another reads them, so copies in
// and out go through these two functions; they hold a small lock only for
// the copy itself, never while anything waits.
#pragma once

#include <string>

#include "interface/base/settings.h"

namespace qb {

using TextSetting = char[PATH_TEXT_SIZE];

std::string get_text_setting(const TextSetting& field);

// `value` must be shorter than PATH_TEXT_SIZE; a longer one is cut.
void set_text_setting(TextSetting& field, const std::string& value);

}  // namespace qb
