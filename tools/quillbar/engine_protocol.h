// The line protocol between the host and an engine server process (one
// engine library per process). Every message is one line; texts that may
// hold line breaks are escaped.
//
// host -> server
//   getmove MAXTIME INFO MOREINFO FEN     play one move
//   bestmoves MAXTIME MARGIN MINDEPTH FEN list the good moves (get_best_moves)
//   command TEXT                          enginecommand
//   stop                                  set the playnow flag
//   quit
// server -> host
//   ready NAME                            the library is loaded
//   fatal TEXT                            it is not; the server exits
//   status TEXT                           the status text changed while searching
//   move RESULT FEN TEXT                  getmove returned
//   bestmoves RETURN COUNT {FEN SCORE} TEXT
//   reply RESULT TEXT                     enginecommand returned
//   error TEXT                            a request that could not be served
#pragma once

#include <string>
#include <vector>

namespace host {

// Backslash escapes for '\\', newline, carriage return and tab; other
// control bytes become '?', so an engine's text can never break the framing.
std::string escape_text(const std::string& text);
std::string unescape_text(const std::string& text);

// Splits off the first `count` space-separated words; the rest of the line
// after the one space that follows them goes into `rest`. False when words are missing.
bool split_words(const std::string& line, size_t count, std::vector<std::string>& words, std::string& rest);

}  // namespace host
