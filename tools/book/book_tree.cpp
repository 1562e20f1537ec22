#include "book_tree.h"

#include <algorithm>
#include <climits>
#include <queue>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/score.h"

namespace bookgen {

using qb::BLACK;

namespace {

// Positive when `a` is better than `b` for the side to move.
int preference(qb::Side side, int a, int b) { return side == BLACK ? a - b : b - a; }

}  // namespace

std::size_t BookTree::KeyHash::operator()(const Key& k) const {
  uint64_t h = (uint64_t(k.black) << 32 | k.white) * 0x9E3779B97F4A7C15ull;
  return std::size_t(h ^ (uint64_t(k.kings) << 1 | uint64_t(k.side)) * 0xC2B2AE3D27D4EB4Full);
}

BookTree::BookTree(const TreeOptions& options, Analyser analyser)
    : options_(options), analyser_(std::move(analyser)) {
  node_for(qb::start_position(), BLACK, 0);
}

int BookTree::node_for(const qb::Position& p, qb::Side side, int ply) {
  Key key{p.pieces[BLACK], p.pieces[qb::WHITE], p.kings, side};
  auto it = index_.find(key);
  if (it != index_.end()) return it->second;
  Node n{p, side, ply};
  n.value = analyser_(p, side);
  ++searches_;
  nodes_.push_back(n);
  return index_[key] = int(nodes_.size()) - 1;
}

bool BookTree::expandable(const Node& n) const {
  if (n.ply >= options_.max_ply || std::abs(n.value) >= qb::DECIDED_SCORE) return false;
  if (n.position.pieces[BLACK] == 0 || n.position.pieces[qb::WHITE] == 0) return false;
  qb::MoveList moves;
  return qb::generate_moves(n.position, moves, n.side) > 0;
}

int BookTree::dropout(const Node& parent, const Node& child) const {
  // After back_up() the parent's value is its best child's.
  return std::max(0, preference(parent.side, parent.value, child.value));
}

// Best-first over the graph (Dijkstra: every step costs zero or more).
int BookTree::find_expandable() const {
  std::vector<int> best(nodes_.size(), INT_MAX);
  using Entry = std::pair<int, int>;  // priority, node
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
  best[0] = 0;
  open.push({0, 0});
  while (!open.empty()) {
    auto [priority, i] = open.top();
    open.pop();
    if (priority > best[i]) continue;
    const Node& n = nodes_[i];
    if (!n.expanded) {
      if (expandable(n)) return i;
      continue;
    }
    int step = n.children.size() > 1 ? options_.ply_cost : 0;  // forced moves cost nothing
    for (int c : n.children) {
      int p = priority + step + dropout(n, nodes_[c]);
      if (p < best[c]) {
        best[c] = p;
        open.push({p, c});
      }
    }
  }
  return -1;
}

bool BookTree::expand_next() {
  int i = find_expandable();
  if (i < 0) return false;
  const qb::Position p = nodes_[i].position;
  const qb::Side side = nodes_[i].side;
  const int ply = nodes_[i].ply;
  qb::MoveList moves;
  int count = qb::generate_moves(p, moves, side);
  std::vector<int> children;
  for (int m = 0; m < count; ++m)
    children.push_back(node_for(moves.moves[m], qb::opponent_of(side), ply + 1));
  nodes_[i].children = std::move(children);  // node_for may have moved the nodes
  nodes_[i].expanded = true;
  ++expanded_;
  deepest_ = std::max(deepest_, ply);
  back_up();
  return true;
}

void BookTree::back_up() {
  std::vector<uint8_t> state(nodes_.size(), 0);
  back_up_from(0, state);
}

// Minimax in post-order. A node met again while its own subtree is open (a
// cycle through king moves) contributes the value it had.
int BookTree::back_up_from(int index, std::vector<uint8_t>& state) {
  enum : uint8_t { NEW, OPEN, DONE };
  if (state[index] != NEW) return nodes_[index].value;
  state[index] = OPEN;
  Node& n = nodes_[index];
  if (n.expanded && !n.children.empty()) {
    int best = n.side == BLACK ? INT_MIN : INT_MAX;
    for (int c : n.children) {
      int v = back_up_from(c, state);
      best = n.side == BLACK ? std::max(best, v) : std::min(best, v);
    }
    n.value = best;
  }
  state[index] = DONE;
  return n.value;
}

int BookTree::best_child(const Node& n) const {
  int best = -1;
  for (int k = 0; k < int(n.children.size()); ++k) {
    if (best < 0 || preference(n.side, nodes_[n.children[k]].value, nodes_[n.children[best]].value) > 0)
      best = k;
  }
  return best;
}

std::string BookTree::principal_line() const {
  std::string line;
  const Node* n = &nodes_[0];
  for (int steps = 0; n->expanded && steps < options_.max_ply; ++steps) {
    int k = best_child(*n);
    if (k < 0) break;
    const Node& next = nodes_[n->children[k]];
    char text[qb::MOVE_TEXT_SIZE];
    if (!line.empty()) line += ' ';
    line += qb::move_text(text, n->position, next.position);
    n = &next;
  }
  return line;
}

std::vector<qb::BookPosition> BookTree::book_positions() const {
  std::vector<qb::BookPosition> out;
  for (const Node& n : nodes_) {
    int first = best_child(n);
    if (first < 0 || first > qb::BOOK_MAX_MOVE_INDEX || n.position.pieces[BLACK] == 0) continue;
    int second = qb::BOOK_NO_MOVE;
    if (n.position.kings == 0) {
      for (int k = 0; k < int(n.children.size()) && k <= qb::BOOK_MAX_MOVE_INDEX; ++k) {
        if (k == first) continue;
        int loss = preference(n.side, nodes_[n.children[first]].value, nodes_[n.children[k]].value);
        bool better = second == qb::BOOK_NO_MOVE ||
                      preference(n.side, nodes_[n.children[k]].value, nodes_[n.children[second]].value) > 0;
        if (loss <= options_.second_margin && better) second = k;
      }
    }
    out.push_back({n.position, n.side, {first, second, n.value}});
  }
  return out;
}

}  // namespace bookgen
