// The tree the book builder grows from the start position (a graph, really:
// transposed positions share one node).
//
// Growth is best-first "drop-out" expansion: every position in the tree is
// searched, values are backed up by minimax, and the next position expanded
// is the unexpanded one with the lowest priority, where a line's priority
// adds a cost per ply and, for every move along it, how much worse that move
// is than the best move there. The main lines grow deepest; plausible
// alternatives for either side get their share; bad moves stay leaves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "board/position.h"
#include "book/book_writer.h"

namespace bookgen {

struct TreeOptions {
  int max_ply = 40;       // positions this deep are never expanded
  int ply_cost = 10;      // priority per ply with a choice of moves
  int second_margin = 4;  // a second move is stored when this close to the best
};

struct Node {
  qb::Position position;
  qb::Side side;
  int ply;                    // at discovery
  int value = 0;              // black's view: the search's, then backed up
  bool expanded = false;      // its successors are in the tree
  std::vector<int> children;  // node indices in move-list order, once expanded
};

// Searches (position, side) to the builder's depth: black's view value.
using Analyser = std::function<int(const qb::Position&, qb::Side side)>;

class BookTree {
 public:
  BookTree(const TreeOptions& options, Analyser analyser);

  // Expands the most promising position: searches its successors and backs
  // the values up. False when nothing is left to expand.
  bool expand_next();

  int expanded_count() const { return expanded_; }
  int node_count() const { return int(nodes_.size()); }
  int searches() const { return searches_; }
  int root_value() const { return nodes_[0].value; }
  int deepest_expanded_ply() const { return deepest_; }

  // The moves of the main line, as text ("11-15 23-19 ...").
  std::string principal_line() const;

  // The expanded positions as book records.
  std::vector<qb::BookPosition> book_positions() const;

 private:
  struct Key {
    uint32_t black, white, kings;
    qb::Side side;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const;
  };

  int node_for(const qb::Position& p, qb::Side side, int ply);
  int find_expandable() const;
  void back_up();
  int back_up_from(int index, std::vector<uint8_t>& state);
  // How much worse the child is than the best child, for the mover.
  int dropout(const Node& parent, const Node& child) const;
  bool expandable(const Node& n) const;
  // Index in `n.children` of the mover's best child; -1 when unexpanded.
  int best_child(const Node& n) const;

  TreeOptions options_;
  Analyser analyser_;
  std::vector<Node> nodes_;
  std::unordered_map<Key, int, KeyHash> index_;
  int expanded_ = 0;
  int searches_ = 0;
  int deepest_ = 0;
};

}  // namespace bookgen
