// The best encoder level; see optimal_parser.h.
//
// Token costs in this format are fixed functions of lengths and distances
// (there is no adaptive entropy stage), so a shortest-path search over the
// positions of the input gives the cheapest parse directly. Each position has
// two states: "a literal run ends here" (with the run's length, because the
// run's header grows with it) and "a copy or byte run ends here". From every
// position the search tries one more literal byte, a byte run of every
// possible length and, for every repeat the match finder reports, every
// length at its nearest distance.
//
// The search runs over blocks of kBlockLength positions; a literal run still
// open at a block's end is carried into the next block instead of being
// closed. A repeat or byte run reaching kNiceLength is taken at once (its full
// length, however long): searching inside it gains nothing and would make
// long repeats quadratic.
#include "builder/optimal_parser.h"

#include <algorithm>
#include <vector>

#include "builder/match_finder.h"

namespace kova::builder {
namespace {

constexpr u32 kWindowLog = 24;
constexpr u32 kDepth = 48;
constexpr u32 kNiceLength = 128;
constexpr u32 kBlockLength = 1u << 14;
constexpr u32 kInfinity = 0xFFFFFFFFu;

struct Node {
  u32 costCopy;     // best cost with a copy or byte run ending here
  u32 costLiteral;  // best cost with a literal run ending here
  u32 literalLength;
  // The token of costCopy: where it starts, its length, its distance
  // (0: byte run) and the state it follows.
  u32 tokenStart;
  u32 tokenLength;
  u32 tokenDistance;
  bool tokenAfterLiteral;
};

enum class Kind : u8 { kLiterals, kByteRun, kCopy };

struct Token {
  Kind kind;
  u32 start;  // absolute position
  u32 length;
  u32 distance;
};

class OptimalParser {
 public:
  OptimalParser(const u8* data, u32 size, TokenWriter& out)
      : data_(data), size_(size), out_(out), finder_(data, size, kWindowLog, kDepth, kNiceLength) {
    nodes_.resize(std::min(kBlockLength, size) + 1);  // a block never outgrows the input
    matches_.resize(BinaryTreeMatchFinder::kMaxMatches + 1);
    for (u32 length = 0; length <= kNiceLength; ++length)
      lengthCost_[length] = length < kMinCopyLength ? 0 : CopyLengthCost(length);
  }

  void Run() {
    u32 blockStart = 0;
    u32 carried = 0;  // literal bytes just before blockStart not yet written
    while (blockStart < size_) {
      u32 blockLength = std::min(kBlockLength, size_ - blockStart);
      for (u32 i = 0; i <= blockLength; ++i) nodes_[i].costCopy = nodes_[i].costLiteral = kInfinity;
      if (carried > 0) {
        nodes_[0].costLiteral = LiteralHeaderCost(carried);
        nodes_[0].literalLength = carried;
      } else {
        nodes_[0].costCopy = 0;
      }

      Match longToken{0, 0};
      u32 i = 0;
      for (; i < blockLength; ++i) {
        longToken = Relax(blockStart, i, blockLength);
        if (longToken.length != 0) break;
      }

      if (longToken.length != 0) {
        // Everything up to the long token, then the token itself.
        WritePath(blockStart, i, BestIsLiteral(i), false);
        u32 tokenStart = blockStart + i;
        if (longToken.distance == 0)
          out_.ByteRun(data_[tokenStart], longToken.length);
        else
          out_.Copy(longToken.length, longToken.distance);
        SkipCovered(tokenStart + 1, tokenStart + longToken.length);
        blockStart = tokenStart + longToken.length;
        carried = 0;
      } else {
        bool last = blockStart + blockLength == size_;
        bool literal = BestIsLiteral(blockLength);
        carried = WritePath(blockStart, blockLength, literal, literal && !last);
        blockStart += blockLength;
      }
    }
  }

 private:
  bool BestIsLiteral(u32 i) const { return nodes_[i].costLiteral < nodes_[i].costCopy; }

  // Extends the paths from node i of the block; returns a token to take at
  // once (length 0: none).
  Match Relax(u32 blockStart, u32 i, u32 blockLength) {
    const Node& node = nodes_[i];
    Node& next = nodes_[i + 1];
    // One more literal byte: continuing the run that ends here, or starting
    // a run after a copy. Only one of the two survives, so they are compared
    // without their run headers: a header grows with its run, and the longer
    // run, which would pay for a restart later, wins ties.
    u32 continued = kInfinity, restarted = kInfinity;
    if (node.costLiteral != kInfinity) continued = node.costLiteral - LiteralHeaderCost(node.literalLength) + 8;
    if (node.costCopy != kInfinity) restarted = node.costCopy + 8;
    if (continued != kInfinity && continued <= restarted) {
      next.costLiteral = continued + LiteralHeaderCost(node.literalLength + u64{1});
      next.literalLength = node.literalLength + 1;
    } else if (restarted != kInfinity) {
      next.costLiteral = restarted + LiteralHeaderCost(1);
      next.literalLength = 1;
    }

    u32 position = blockStart + i;
    u32 run = RunLength(position);
    u32 count = finder_.Find(position, matches_.data());

    Match longToken = LongToken(position, run, count);
    if (longToken.length != 0) return longToken;

    bool afterLiteral = BestIsLiteral(i);
    u32 base = afterLiteral ? node.costLiteral : node.costCopy;
    u32 room = blockLength - i;

    if (run >= kMinByteRun) {
      u32 top = std::min(run, room);
      for (u32 length = kMinByteRun; length <= top; ++length)
        Offer(i, length, 0, base + ByteRunCost(length), afterLiteral);
    }

    // Copies the format allows, nearest first; each length goes to the
    // nearest distance that reaches it.
    u32 usable = 0;
    for (u32 k = 0; k < count; ++k) {
      Match copy;
      if (UsableCopy(data_, position, matches_[k].distance, matches_[k].length, &copy))
        matches_[usable++] = copy;
    }
    std::sort(matches_.begin(), matches_.begin() + usable, [](const Match& a, const Match& b) {
      return a.distance != b.distance ? a.distance < b.distance : a.length > b.length;
    });
    u32 covered = kMinCopyLength - 1;
    for (u32 k = 0; k < usable; ++k) {
      u32 top = std::min(matches_[k].length, room);
      if (top <= covered) continue;
      u32 fixed = base + 2 + CopyDistanceCost(matches_[k].distance);
      for (u32 length = covered + 1; length <= top; ++length)
        Offer(i, length, matches_[k].distance, fixed + lengthCost_[length], afterLiteral);
      covered = top;
    }
    return {0, 0};
  }

  void Offer(u32 i, u32 length, u32 distance, u32 cost, bool afterLiteral) {
    Node& target = nodes_[i + length];
    if (cost < target.costCopy) {
      target.costCopy = cost;
      target.tokenStart = i;
      target.tokenLength = length;
      target.tokenDistance = distance;
      target.tokenAfterLiteral = afterLiteral;
    }
  }

  // A byte run or copy of at least kNiceLength bytes at position, at its
  // full length; the one saving more bits when both exist.
  Match LongToken(u32 position, u32 run, u32 count) {
    Match best{0, 0};
    i64 bestGain = 0;
    if (run >= kNiceLength) {
      best = {run, 0};
      bestGain = 8 * i64{run} - ByteRunCost(run);
    }
    if (count > 0 && matches_[count - 1].length >= finder_.NiceLength()) {
      u32 distance = matches_[count - 1].distance;
      u32 full = CommonLength(data_ + position - distance, data_ + position, size_ - position);
      Match copy;
      if (UsableCopy(data_, position, distance, full, &copy) && copy.length >= kNiceLength) {
        i64 gain = 8 * i64{copy.length} - CopyCost(copy.length, copy.distance);
        if (gain > bestGain) best = copy;
      }
    }
    return best;
  }

  u32 RunLength(u32 position) {
    if (position < runEnd_) return runEnd_ - position;
    const u8* here = data_ + position;
    if (size_ - position < kMinByteRun || here[0] != here[1] || here[1] != here[2]) return 0;
    runEnd_ = position + 1 + CommonLength(here + 1, here, size_ - position - 1);
    return runEnd_ - position;
  }

  // Enters the positions covered by a long token into the match finder; of
  // a very long one only both ends, which is what later repeats need most.
  void SkipCovered(u32 first, u32 next) {
    u32 edge = 2 * kNiceLength;
    if (next - first <= 2 * edge) {
      for (u32 p = first; p < next; ++p) finder_.Skip(p);
      return;
    }
    for (u32 p = first; p < first + edge; ++p) finder_.Skip(p);
    for (u32 p = next - edge; p < next; ++p) finder_.Skip(p);
  }

  // Writes the cheapest path from the block start to node end, ending in the
  // literal state or not. With keepLastLiterals the final literal run is not
  // written; its length is returned to be carried into the next block.
  u32 WritePath(u32 blockStart, u32 end, bool literal, bool keepLastLiterals) {
    path_.clear();
    u32 i = end;
    for (;;) {
      const Node& node = nodes_[i];
      if (literal) {
        u32 length = node.literalLength;
        path_.push_back({Kind::kLiterals, blockStart + i - length, length, 0});
        if (length >= i) break;  // reaches the block start (or carried bytes)
        i -= length;
        literal = false;
      } else {
        if (i == 0) break;
        Kind kind = node.tokenDistance == 0 ? Kind::kByteRun : Kind::kCopy;
        path_.push_back({kind, blockStart + node.tokenStart, node.tokenLength, node.tokenDistance});
        literal = node.tokenAfterLiteral;
        i = node.tokenStart;
      }
    }
    u32 carried = 0;
    if (keepLastLiterals && !path_.empty() && path_.front().kind == Kind::kLiterals) {
      carried = path_.front().length;
      path_.erase(path_.begin());
    }
    for (auto token = path_.rbegin(); token != path_.rend(); ++token) {
      switch (token->kind) {
        case Kind::kLiterals:
          out_.Literals(data_ + token->start, token->length);
          break;
        case Kind::kByteRun:
          out_.ByteRun(data_[token->start], token->length);
          break;
        case Kind::kCopy:
          out_.Copy(token->length, token->distance);
          break;
      }
    }
    return carried;
  }

  const u8* data_;
  u32 size_;
  TokenWriter& out_;
  BinaryTreeMatchFinder finder_;
  std::vector<Node> nodes_;
  std::vector<Match> matches_;
  std::vector<Token> path_;
  u32 lengthCost_[kNiceLength + 1];
  u32 runEnd_ = 0;
};

}  // namespace

void OptimalParse(const u8* data, u32 size, TokenWriter& out) {
  if (size == 0) return;
  OptimalParser(data, size, out).Run();
}

}  // namespace kova::builder
