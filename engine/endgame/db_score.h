// The search score of a position the WLD database calls won.
#pragma once

#include "eval/evaluate.h"

namespace qb {

// From black's view (positive when black wins) for a position won by
// `winner`. 2000 plus terms that favour simplification, the winner's kings
// in the centre and the loser's on the edge, and the winner's men advancing,
// so that the search makes progress towards the win.
int score_db_win(const PieceSummary& summary, Side winner);

// The correction for a lone black man against white kings only: white kings
// on or around its path cost, black kings near them help. Exposed for tests.
int lone_man_term(uint32_t black_man, uint32_t black_kings, uint32_t white_kings);

}  // namespace qb
