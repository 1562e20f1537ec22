// The drivers that turn one getmove request into a move decision.
#pragma once

#include "search/move_request.h"
#include "search/search_root.h"

namespace qb {

// Chooses a move for the request's side from its root: the opening book, the
// databases' distance play, their analysis of a drawn root, or the search.
// The status text goes into the request's buffer.
MoveDecision search_driver(const MoveRequest& request);

// The same with an exact score for every root move (the allscores setting).
MoveDecision allscores_driver(const MoveRequest& request);

// The book's move for the root, if it has one; its text is logged. The
// decision is judged, with the book's value.
bool consult_book(const SearchRoot& root, char* status, MoveDecision& decision);

// What both drivers decide without a search: the databases' distance play,
// and the loss when there is no move at all. True when one of them decided.
bool decided_without_search(const SearchRoot& root, double maxtime, char* status, MoveDecision& decision);

}  // namespace qb
