// Variable store and formula calculator of the evaluation script language.
//
// TVarlist keeps the script's named variables in insertion order; every lookup
// finds the first variable of a name. TExptree is one node of a parsed formula;
// a formula is parsed into a tree of such nodes and computed against a store.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "base_text.h"

// Capacities of the script engine's texts (characters, terminator excluded).
// Longer texts are cut to these sizes wherever they enter the engine.
namespace script_limits {
inline constexpr std::size_t kNameChars = 79;      // variable, label and procedure names
inline constexpr std::size_t kFormulaChars = 127;  // formulas and script words
inline constexpr std::size_t kOperChars = 9;       // operator and function texts of a node
inline constexpr int kIndexRanges = 10;            // index ranges of one substitution
// Nesting depth of one computation (nodes and variables computed inside each
// other): a variable whose formula names the next one takes three levels, so
// chains of some 3,300 variables compute. The bound keeps the recursion's
// stack within a few hundred bytes a level (about 1.5 MB at the deepest in an
// optimized build, twice that with the sanitizers), well inside the 8 MB of
// the main thread and of the repair threads.
inline constexpr int kMaxCalcDepth = 10'000;
// Variables a script run may hold in its store (checked with the run's other
// sizes); a roster exports every cell of its schedule into the store.
inline constexpr std::size_t kMaxVariables = 1'000'000;
}  // namespace script_limits

// Writes the parts of a message to `out`, unflushed; nothing when there is
// no stream to write to (null).
template <class... Parts>
void script_message(std::ostream* out, const Parts&... parts) {
  if (out != nullptr) (*out << ... << parts);
}

// One variable: name, value, defining formula, and whether the value is current.
// Variables are made and given formulas by their store (TVarlist::insert and
// TVarlist::set_formula), which keeps the texts too long to be held in place.
// A variable fills one cache line: reading one touches a single line.
class alignas(64) TVariable {
 public:
  // Name and formula stay valid while the variable stays in its place in
  // the store and keeps its formula.
  const char* get_name() const { return text(name, name_size, kNameInPlace); }
  float get_value() const { return value; }
  const char* get_formula() const { return text(formula, formula_size, kFormulaInPlace); }
  // The same texts with their lengths (a text may hold a '\0').
  std::string_view name_text() const { return {get_name(), name_size}; }
  std::string_view formula_text() const { return {get_formula(), formula_size}; }
  int get_comp() const { return computed ? 1 : 0; }
  void set_value(float v) { value = v; }
  void set_comp(int c) { computed = c != 0; }

 private:
  friend class TVarlist;
  friend class TCalculation;
  // Without initializers, the type is trivial and a store's variables are
  // copied as one block of memory; the store sets every member.
  TVariable() = default;
  // Texts up to these sizes are held in the variable, with their
  // terminators; nearly all names and formulas are that short (the longest
  // names a roster exports, such as c_shiftblocks[11][27].start, among
  // them), and small variables make the copy of a store for every
  // evaluation, and every walk over it, cheap. A longer text lives in a
  // chunk of its store, and the variable holds the chunk's address in place
  // of the characters.
  static constexpr std::size_t kNameInPlace = 27;
  static constexpr std::size_t kFormulaInPlace = 22;
  static const char* text(const unsigned char* chars, std::size_t size, std::size_t in_place) {
    if (size <= in_place) return reinterpret_cast<const char*>(chars);
    const char* held_apart;
    std::memcpy(&held_apart, chars, sizeof held_apart);
    return held_apart;
  }
  bool name_held_apart() const { return name_size > kNameInPlace; }
  bool formula_held_apart() const { return formula_size > kFormulaInPlace; }
  // The characters past a terminator are left unset.
  unsigned char name[kNameInPlace + 1];
  unsigned char formula[kFormulaInPlace + 1];
  std::uint8_t name_size;
  std::uint8_t formula_size;
  // Set while the calculator computes this variable: a formula that refers
  // to itself is an error.
  bool in_progress;
  bool first_of_name;  // the one every lookup of the name finds
  bool computed;
  std::uint32_t name_hash;  // for the store's index
  float value;
  static_assert(kNameInPlace + 1 >= sizeof(void*) && kFormulaInPlace + 1 >= sizeof(void*),
                "a text held apart leaves its address in place of the characters");
};
static_assert(std::is_trivial_v<TVariable>, "stores copy their variables as memory");
static_assert(sizeof(TVariable) == 64, "a variable fills one cache line");

// Hash of a variable name (or any short text), eight characters at a time:
// the rotation brings the high bits a multiplication fills to the next
// step's low bits, and the final mix makes every bit of the result, the low
// ones that pick the slot included, depend on every character.
inline std::uint32_t variable_name_hash(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const auto* p = reinterpret_cast<const unsigned char*>(name.data());
  const std::size_t n = name.size();
  std::uint64_t h = n;
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    h = std::rotl((h ^ text_words::word8(p + i)) * kMultiplier, 31);
  }
  h ^= n >= 8 ? text_words::word8(p + n - 8) : text_words::short_word(p, n);
  h = (h ^ (h >> 33)) * 0xFF51AFD7ED558CCDull;
  h = (h ^ (h >> 33)) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<std::uint32_t>(h ^ (h >> 33));
}

// Hashes that let a set or map of strings be searched by a string_view: the
// standard hash, and the name hash for maps whose keys are mostly formulas.
struct TTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
struct TNameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return variable_name_hash(text); }
};

class TFormulaCache;  // parsed formulas by their text (expint_calc.cpp)

// Identities of the name sequences of stores, and what depends on a store's
// names alone: the index substitutions made in it. A store copied from
// another takes its identity; inserting or removing a name steps to the
// identity of the sequence that results, the same for every store that takes
// the same step from the same identity. No identity is handed out twice, so
// stores identified by one TStoreShapes hold equal names in equal order
// exactly when their identities are equal, and the runs over copies of one
// exported store, which add the same names in the same order, find the
// substitutions of the runs before (expint_subst.cpp).
class TStoreShapes {
 public:
  // An identity no store had before: for names not reached by steps.
  std::uint64_t fresh() { return ++last_; }
  // The identity after inserting (or removing) `name`, of hash `hash`
  // (variable_name_hash), in a store of identity `from`.
  std::uint64_t step(std::uint64_t from, bool inserted, std::string_view name, std::uint32_t hash);

  // The substitution of `text` remembered for stores of identity `shape`, or null.
  const std::string* substitution(std::string_view text, std::uint64_t shape) const;
  void remember(std::string_view text, std::uint64_t shape, const std::string& substituted);

 private:
  std::uint64_t last_ = 0;
  // The steps taken, in an open-addressing table at most half full. Runs
  // over copies of one store take the same few dozen steps again and again;
  // past a limit all are forgotten, and steps then lead to new identities.
  struct TStep {
    std::uint64_t from = 0;  // 0: an empty slot
    std::uint64_t to = 0;
    std::uint32_t hash = 0;
    bool inserted = false;
    std::string name;
  };
  static constexpr std::size_t kMinSteps = 64;
  static constexpr std::size_t kMaxSteps = std::size_t{1} << 14;
  std::vector<TStep> steps_;
  std::size_t steps_taken_ = 0;
  void grow_steps();
  // Substitutions of a text in the last few shapes it was substituted in:
  // a loop that adds names substitutes a text in one shape, then another.
  static constexpr std::size_t kShapesPerText = 4;
  struct TRemembered {
    std::array<std::uint64_t, kShapesPerText> shapes{};  // 0: none
    std::array<std::string, kShapesPerText> texts;
    std::size_t next = 0;  // the one replaced next
  };
  std::unordered_map<std::string, TRemembered, TNameHash, std::equal_to<>> substitutions_;
};

// Told when a computation in a store divides by zero, right after the
// message: whoever runs the computations stops at once.
class TDivisionByZeroListener {
 public:
  virtual void divided_by_zero() = 0;

 protected:
  ~TDivisionByZeroListener() = default;
};

struct TFormulaMemory;

// The variable store. Names are not unique: insert never checks, and every
// lookup by name finds the first variable of that name. A hash index beside
// the ordered entries keeps lookups constant-time: an open-addressing table of
// positions, one slot for every distinct name, pointing at its first variable.
class TVarlist {
 public:
  TVarlist() = default;
  TVarlist(const TVarlist&) = delete;
  TVarlist& operator=(const TVarlist&) = delete;

  // Makes room for `count` variables in all, so that inserting up to that
  // many moves nothing.
  void reserve(std::size_t count);
  // Makes this store a copy of `other`, with room for `room` more variables.
  void copy_from(const TVarlist& other, std::size_t room);
  // Appends a variable; it counts as computed exactly when `v` is nonzero.
  void insert(std::string_view n, std::string_view f, float v);
  // Removes the first variable named `n`; the others keep their order.
  void remove(std::string_view n);

  int in_list(std::string_view n) const { return find(n) != nullptr ? 1 : 0; }
  // 0 when absent.
  float get_value(std::string_view n) const {
    const TVariable* v = find(n);
    return v != nullptr ? v->get_value() : 0.0f;
  }
  // Null when absent; valid until the store next changes its entries.
  const char* get_formula(std::string_view n) const {
    const TVariable* v = find(n);
    return v != nullptr ? v->get_formula() : nullptr;
  }
  // 0 when absent.
  int get_comp(std::string_view n) const {
    const TVariable* v = find(n);
    return v != nullptr ? v->get_comp() : 0;
  }
  // Leaves the computed flag alone.
  void set_value(std::string_view n, float v) {
    if (TVariable* var = find(n)) var->set_value(v);
  }
  void set_formula(std::string_view n, std::string_view f) {
    if (TVariable* var = find(n)) set_formula(*var, f);
  }
  // Gives a variable of this store a formula (cut to a formula's size). The
  // text may be the variable's own formula or a part of it; the same
  // formula set again, as mostly, is not copied.
  void set_formula(TVariable& var, std::string_view f) {
    f = fit(f, script_limits::kFormulaChars);
    if (f.size() == var.formula_size && same_bytes(var.get_formula(), f.data(), f.size())) return;
    // A short formula in place of a short one, nearly every call, is copied
    // here, inline in the statements that set formulas; put_text does the rest.
    if (f.size() > TVariable::kFormulaInPlace || var.formula_held_apart()) {
      put_text(var.formula, var.formula_size, TVariable::kFormulaInPlace, f,
               script_limits::kFormulaChars);
      return;
    }
    std::memmove(var.formula, f.data(), f.size());
    var.formula[f.size()] = '\0';
    var.formula_size = static_cast<std::uint8_t>(f.size());
  }
  void set_comp(std::string_view n, int c) {
    if (TVariable* var = find(n)) var->set_comp(c);
  }

  // Walking the store in order.
  unsigned int get_entries() const { return static_cast<unsigned int>(vars.size()); }
  std::size_t number() const { return vars.size(); }
  const TVariable& get(std::size_t i) const { return vars[i]; }
  TVariable& get(std::size_t i) { return vars[i]; }
  // The first variable named `n`, or null.
  TVariable* find(std::string_view n) {
    const std::int32_t position = position_of(n);
    return position == kEmpty ? nullptr : &vars[static_cast<std::size_t>(position)];
  }
  const TVariable* find(std::string_view n) const {
    const std::int32_t position = position_of(n);
    return position == kEmpty ? nullptr : &vars[static_cast<std::size_t>(position)];
  }
  // find for a name that mostly names no variable, such as the place of a
  // rated constraint (week[3][5]): a bracketed name is known absent, without
  // a lookup, when no name of the store begins with its text before the '['.
  // `bit` is bracket_bit of the name cut to a name's size.
  const TVariable* find_rare(std::string_view n, std::size_t bit) const {
    if (bit != kNoBracket && (bracket_texts[bit / 64] >> (bit % 64) & 1) == 0) return nullptr;
    return find(n);
  }
  // The bit of a name's text before its first '[' in the store's filter of
  // such texts; kNoBracket for a name without a '['.
  static constexpr std::size_t kNoBracket = SIZE_MAX;
  static std::size_t bracket_bit(std::string_view name) {
    const std::size_t open = name.find('[');
    if (open == std::string_view::npos) return kNoBracket;
    return variable_name_hash(name.substr(0, open)) % kBracketBits;
  }

  // Where a lookup found a name's first variable, kept by the caller for the
  // next lookup from the same place. It is checked against the name and the
  // variable's first_of_name mark alone, so it serves in any store: runs over
  // copies of one store find their variables through earlier runs' hints.
  struct THint {
    std::uint32_t position = UINT32_MAX;  // none
    std::uint64_t stamp = 0;              // see find_named
  };
  // find, through a hint that it updates.
  TVariable* find(std::string_view n, THint& hint) {
    const std::string_view name = fit(n, script_limits::kNameChars);
    if (hint.position < vars.size()) {
      TVariable& held = vars[hint.position];
      if (held.first_of_name && held.name_size == name.size() &&
          same_bytes(held.get_name(), name.data(), name.size())) {
        return &held;
      }
    }
    return find_and_hint(name, hint);
  }
  // find through a hint that serves one name only. While the store keeps
  // the stamp it had when the hint found the variable (its names and their
  // places unchanged), the variable is where it was.
  TVariable* find_named(std::string_view n, THint& hint) {
    if (hint.stamp == stamp && stamp != 0) return &vars[hint.position];
    TVariable* found = find(n, hint);
    hint.stamp = found != nullptr ? stamp : 0;
    return found;
  }
  // The same for words that mostly name no variable, such as the numbers of
  // indices and loop bounds: the hint remembers the absence too, so that
  // such a word is looked up once while the store keeps its stamp. An
  // absence is noted as the stamp's complement, which no store has and
  // find_named therefore never takes for a place.
  TVariable* find_named_or_absent(std::string_view n, THint& hint) {
    if (hint.stamp == stamp && stamp != 0) return &vars[hint.position];
    if (hint.stamp == ~stamp && stamp != 0) return nullptr;
    TVariable* found = find_named(n, hint);
    if (found == nullptr && stamp != 0) hint = THint{UINT32_MAX, ~stamp};
    return found;
  }

  void show(std::ostream& out) const;                            // the whole store
  void show(std::ostream& out, std::string_view varname) const;  // one variable

  // The variables file: a count line, then one "name formula value" line per variable.
  void write(const std::string& file_name) const;
  void write(std::ostream& output) const;
  // Appends the variables of a variables file; unreadable files add nothing.
  // Reading stops once the store holds `max_number` variables.
  void read(const std::string& file_name, std::size_t max_number = SIZE_MAX);
  void read(std::istream& input, std::size_t max_number = SIZE_MAX);

  // Index substitution: rewrites indexed names (x[i]) into explicit lists of the
  // present elements and range counts (#i) into numbers. Works in place.
  std::string& substitute(std::string& expr) const;
  // Replaces the formula of every variable by its index substitution.
  void substitute_all();
  // The numbers j up to `last`, ascending, for which a variable named
  // prefix + j + suffix (cut to a name's size) is present.
  std::vector<unsigned int> present_elements(std::string_view prefix, std::string_view suffix,
                                             unsigned int last) const;
  // Resolves the bracketed index expressions of a name, in place: with i = 2,
  // x[i] becomes x[2]. Index expressions are computed as formulas. The text
  // is cut to a formula's size. Most names and formulas have no index; texts
  // that are read again take TIndexedName (below) apart once instead.
  std::string& real_name(std::string& expr);

 private:
  // find for a name (cut to a name's size) that is not at its hint; the
  // hint then tells where it is.
  TVariable* find_and_hint(std::string_view name, THint& hint);

  // Position in `vars` of the first variable of a name, with that name's hash.
  // Trivial, so that a store's index is copied as one block of memory;
  // every slot is made with its values.
  struct Slot {
    std::uint32_t hash;
    std::int32_t position;
  };
  static_assert(std::is_trivial_v<Slot>, "stores copy their index as memory");
  static constexpr std::int32_t kEmpty = -1;
  static constexpr std::size_t kMinSlots = 64;
  static constexpr std::size_t kMinVariables = 32;

  // Position of the first variable named `n` (cut to a name's size), or kEmpty.
  std::int32_t position_of(std::string_view n) const {
    if (slots.empty()) return kEmpty;
    const std::string_view name = fit(n, script_limits::kNameChars);
    return slots[slot_of(name, variable_name_hash(name))].position;
  }
  // The slot of `name`, or the empty slot where it would go.
  std::size_t slot_of(std::string_view name, std::uint32_t hash) const {
    std::size_t slot = home_slot(hash);
    while (slots[slot].position != kEmpty) {
      const Slot& s = slots[slot];
      if (s.hash == hash) {
        const TVariable& held = vars[static_cast<std::size_t>(s.position)];
        if (held.name_size == name.size() &&
            same_bytes(held.get_name(), name.data(), name.size())) {
          return slot;
        }
      }
      slot = next_slot(slot);
    }
    return slot;
  }
  // The first slot on the probe path of `hash` that is empty or holds `position`.
  std::size_t slot_at_position(std::uint32_t hash, std::int32_t position) const;
  // Moves the index into a table of `size` slots (a power of two, at least
  // kMinSlots). The table is kept at most three quarters full: probe runs
  // stay within a cache line or two, and the index a store copies for every
  // evaluation stays small.
  static bool index_full(std::size_t names, std::size_t slots) { return 4 * names > 3 * slots; }
  static std::size_t slots_for(std::size_t names) { return std::bit_ceil(names + names / 3 + 1); }
  void grow_index(std::size_t size);
  // Empties a slot, moving later slots of its probe run back into the gap.
  void erase_slot(std::size_t slot);
  std::size_t home_slot(std::uint32_t hash) const { return hash & (slots.size() - 1); }
  std::size_t next_slot(std::size_t slot) const { return (slot + 1) & (slots.size() - 1); }

  // A chunk for a text too long to be held in its variable, and the
  // store's chunks: a deque, so that a chunk stays where it is while the
  // store lives. Chunks of texts that went are reused, and a copy of a
  // store gives each of its long texts a chunk of its own.
  struct TTextChunk {
    unsigned char chars[script_limits::kFormulaChars + 1];
  };
  std::deque<TTextChunk> chunks;
  std::vector<unsigned char*> free_chunks;
  unsigned char* new_chunk();
  // Gives a text that a copied variable holds apart a chunk of this store.
  void copy_held_apart(unsigned char* chars, std::size_t size);
  // Puts `text` (cut to `limit`) in place of a variable's text of `size`
  // characters, of which it may be a part.
  void put_text(unsigned char* chars, std::uint8_t& size, std::size_t in_place,
                std::string_view text, std::size_t limit);
  void release_texts(const TVariable& var);
  bool holds_long_texts() const { return free_chunks.size() != chunks.size(); }

  // A filter of the texts before the first '[' of the store's names: one
  // bit for each, picked by its hash. Bits are set as names come and never
  // cleared, so a clear bit means that no name begins with such a text.
  static constexpr std::size_t kBracketBits = 256;
  std::array<std::uint64_t, kBracketBits / 64> bracket_texts{};
  void note_bracket_text(std::string_view name) {
    const std::size_t bit = bracket_bit(name);
    if (bit != kNoBracket) bracket_texts[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }

  std::vector<TVariable> vars;
  std::vector<Slot> slots;  // size a power of two, or empty
  std::size_t names = 0;    // occupied slots
  TFormulaMemory* memory_ = nullptr;
  // The identity of the store's names in their order among those of
  // `shapes` (see TStoreShapes); without `shapes`, the store has none.
  std::shared_ptr<TStoreShapes> shapes;
  std::uint64_t shape = 0;
  // Unique among the stores that share a caching memory, renewed with
  // every change of the names; 0 (none) without such a memory.
  std::uint64_t stamp = 0;
  void reshaped();
  // The identities of a caching memory that this store's identity belongs
  // to, or null: whether index substitutions are remembered.
  TStoreShapes* remembering_shapes() const;

 public:
  // The memory that computations in this store use (null: none); it must
  // outlive the store's computations. Copies do not take it, but take the
  // identity of the names that it gave.
  void set_formula_memory(TFormulaMemory* memory);
  TFormulaMemory* formula_memory() const { return memory_; }
  // Where computations in this store write their messages (null: nowhere).
  // Copies do not take it.
  void set_output(std::ostream* out) { output_ = out; }
  std::ostream* output() const { return output_; }

  // A division by zero prints its message (flushed) and stops: the
  // computation gives 0, and so does every later one in this store, without
  // a message; the listener (null: none) is told once. Copies take neither.
  bool divided_by_zero() const { return divided_by_zero_; }
  void set_division_listener(TDivisionByZeroListener* listener) { listener_ = listener; }

 private:
  friend class TCalculation;
  std::ostream* output_ = nullptr;
  bool divided_by_zero_ = false;
  TDivisionByZeroListener* listener_ = nullptr;
};

// The calculator's memory of parsed formulas, owned by an evaluation context
// (inter_context.h) and lent to its runs' stores. A store without one, or
// with `caching` off, parses every formula it computes.
struct TFormulaMemory {
  bool caching = true;
  std::uint64_t stamps = 0;                 // the last store stamp handed out
  std::shared_ptr<TFormulaCache> formulas;  // made at first use
  std::shared_ptr<TStoreShapes> shapes;     // made when a store is first given the memory
};

// One node of a parsed formula.
//   type 1: structure (bracket, operator, function, list, conditional)
//   type 2: number
//   type 3: variable reference or quoted string
class TExptree {
 public:
  TExptree() = default;
  TExptree(int t, std::string_view op, std::string_view f, std::string_view v, float val,
           std::unique_ptr<TExptree> l, std::unique_ptr<TExptree> r);

  // Parses `expr` into the tree rooted at this node, consuming the text from its
  // front. `first` is 0 for a whole formula and 1 for an operand.
  void insert_expr(std::string& expr, int first);
  // Value of the tree. With base_calc 1, computed variables are taken from the
  // store as they are; otherwise every referenced variable is recomputed.
  float calculate(TVarlist* var_list, int base_calc);
  // Drops the first character of `expr`.
  static std::string& get_next(std::string& expr);

  int get_type() const { return type; }
  int get_sign() const { return sign; }
  const char* get_oper() const { return oper.c_str(); }
  const char* get_function() const { return func.c_str(); }
  const char* get_variable() const { return variable.c_str(); }
  float get_value() const { return value; }
  TExptree* get_left() const { return left.get(); }
  TExptree* get_right() const { return right.get(); }
  void set_type(int t) { type = t; }
  void set_sign(int s) { sign = s; }
  void set_variable(std::string_view v) { variable = fit(v, script_limits::kNameChars); }
  void set_oper(std::string_view op) {
    oper = fit(op, script_limits::kOperChars);
    shape = 0;
  }
  void set_function(std::string_view f) {
    func = fit(f, script_limits::kOperChars);
    shape = 0;
  }
  void set_value(float v) { value = v; }
  void set_left(std::unique_ptr<TExptree> l) { left = std::move(l); }
  void set_right(std::unique_ptr<TExptree> r) { right = std::move(r); }

 private:
  friend class TCalculation;
  friend class TFormulaParser;
  friend class TFormula;
  int type = 1;
  int sign = 1;
  std::string oper;
  std::string func;
  float value = 0;
  std::string variable;
  std::unique_ptr<TExptree> left;
  std::unique_ptr<TExptree> right;
  // Where a variable node last found its variable.
  TVarlist::THint hint;
  // What the operator and function texts of a structure node stand for, as
  // codes worked out from the texts at the node's first computation, so that
  // computing the node again compares no texts. `shape` 0: not worked out
  // yet; changing a text sets it back to 0.
  std::uint8_t shape = 0;
  char shape_op = '\0';       // the arithmetic or logical operator, or '\0'
  std::uint8_t shape_fn = 0;  // function or list function code
};

// 1 for the characters that separate names and numbers in formulas, and for '\0'.
int is_delimiter(char c);
// The list functions of formulas: SUM{...}, MUL{...}, MIN{...}, MAX{...}.
inline bool is_list_function(std::string_view word) {
  return word == "SUM" || word == "MUL" || word == "MIN" || word == "MAX";
}
inline bool is_one_argument_function(std::string_view word) {
  return word == "SQR" || word == "SIN" || word == "COS" || word == "TAN" || word == "ABS" ||
         word == "LOG" || word == "SRT";
}
// The upper-cased first three characters of `text`, where a function word
// would stand, when at least four remain; empty otherwise.
inline std::string function_word(std::string_view text) {
  if (text.size() < 4) return {};
  std::string word(text.substr(0, 3));
  for (char& c : word) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return word;
}
// White space as the stream's word extraction sees it in the C locale.
inline bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
// Numeric code of a quoted string: its characters as digits of base 256.
float string_to_float(std::string_view exp_s);
// Computes a formula text against a store, as parsing a copy and calculating
// it with base_calc 1 would. Parsed formulas are cached by their text.
float compute_formula(std::string_view formula, TVarlist& vars);

// A formula parsed once, for a caller that keeps the tree: computing it
// with compute_tree gives what compute_formula gives for the text.
std::unique_ptr<TExptree> parse_formula(std::string_view formula);
float compute_tree(TExptree& tree, TVarlist& vars);
// Computes a variable not computed yet as a formula of just its name would:
// from its formula, one level down, keeping the value in the store.
float compute_named(TVariable& var, TVarlist& vars);

// A formula parsed once, with its form: a term (a number or a variable, or
// two of them joined by an arithmetic operator), or two terms joined by a
// logical operator, in a bracket or not, computes from the terms' operands.
// Any other formula is compiled into steps over a stack of values when its
// tree holds only numbers, quoted texts, variables, brackets, arithmetic and
// logical operators, one-argument functions, lists and conditionals (nothing
// the calculator reports as an error). Forms and steps compute
// while every variable is found computed and nothing divides by zero;
// otherwise, and for a formula with neither, the tree is walked, which then
// computes the variables and gives the messages. Forms and steps have no
// effect of their own, so either way the result is what compute_formula
// gives for the text.
class TFormula {
 public:
  explicit TFormula(std::string_view formula);
  TFormula(const TFormula&) = delete;
  TFormula& operator=(const TFormula&) = delete;
  // What compute_formula gives for the text.
  float compute(TVarlist& vars);

 private:
  friend class TCalculation;
  // The calculation alone reaches the tree, which it never changes after
  // parsing, so the form and the steps found then hold.
  TExptree& tree() const { return *root; }
  // A number, or a variable by its name, held here rather than reached
  // through the tree's node: computing a form reads the formula alone.
  // What a computation reads first comes first.
  struct TOperand {
    // Takes `node` when it is a number or a variable named (not a quoted text).
    bool take(const TExptree* node);
    TVarlist::THint hint;  // where the variable was found last
    float value = 0;
    std::string_view name;  // empty: a number; the text lies in the tree
  };
  struct TTerm {
    // Takes `node` as the term when it is one.
    bool take(const TExptree* node);
    bool single = true;  // the first operand alone
    char op = '\0';
    float first_sign = 1;
    TOperand first;
    TOperand second;
  };
  enum class TForm : std::uint8_t { kGeneral, kTerm, kLogical };
  TForm form = TForm::kGeneral;
  char logical = '\0';
  float outer_sign = 1;    // of the bracket around the term or the logical operator
  float logical_sign = 1;  // of the logical operator's first term
  TTerm terms[2];
  struct TStep {
    enum class TKind : std::uint8_t {
      kNumber,
      kVariable,
      kSign,
      kBinary,
      kLogical,
      kFunction,
      kList,
      kJumpIfZero,
      kJump
    };
    TKind kind = TKind::kNumber;
    // kBinary, kLogical: the operator; kFunction, kList: the function's code.
    std::uint8_t code = 0;
    // kList: the values it takes from the stack; kJumpIfZero, kJump: the
    // step that comes next (kJumpIfZero: when the value it takes is 0).
    std::uint16_t items = 0;
    float value = 0;        // kNumber: the number; kSign: the sign
    std::string_view name;  // kVariable; the text lies in the tree
    TVarlist::THint hint;   // kVariable: where the variable was found last
  };
  // The most values the steps hold at once; a deeper formula is walked.
  static constexpr std::size_t kMaxStack = 32;
  std::vector<TStep> steps;  // empty: the tree is walked
  std::unique_ptr<TExptree> root;
};

// A text with bracketed index expressions (x[i], b[i][j+1]) taken apart
// once into the pieces around its indices and each index's text and parsed
// formula. resolve() gives what TVarlist::real_name gives, computing the
// indices only: an index that names a variable takes its stored value, any
// other is computed, left to right. An index runs from a '[' to the next
// ']', and an unclosed '[' ends the text.
class TIndexedName {
 public:
  explicit TIndexedName(std::string_view text);  // `text` holds a '['.
  // The resolved text, cut to a formula's size; valid until the next resolve.
  std::string_view resolve(TVarlist& vars);
  std::string_view resolved() const { return text; }
  // Computes the text the last resolve gave as compute_formula does. A text
  // that is one name, as most are, is looked up without parsing it.
  float compute(TVarlist& vars);
  // TVarlist::bracket_bit of every resolved text cut to a name's size: the
  // texts differ only from the first '[' on.
  std::size_t bracket_bit() const { return bracket_bit_; }

 private:
  struct TIndex {
    std::string lead;  // the text before the index, its '[' included
    std::string text;
    std::unique_ptr<TFormula> formula;
    TVarlist::THint hint;  // where the variable named `text` was found
    int number = 0;        // in the last resolved text, with its digits' place
    std::size_t at = 0;
    std::size_t length = 0;
  };
  // Writes the resolved text anew from the pieces and the indices' numbers.
  void lay_out();
  // Gives an index another number, written over the old digits when they
  // have the same count, else left for lay_out.
  void renumber(TIndex& index, int number);
  std::vector<TIndex> indices;
  std::string tail;  // the text after the last index
  // Whether the text with its indices replaced by digits parses as one
  // variable name; a minus sign or a cut text may parse otherwise.
  bool one_name = false;
  std::size_t bracket_bit_ = TVarlist::kNoBracket;
  bool digits_only = false;  // the last resolve wrote digits only, uncut
  // The last resolved text; while `laid_out`, numbers of as many digits as
  // before are written over the old ones.
  std::string text;
  bool laid_out = false;
  // Where the variables the resolved texts name were found, by a few bits
  // of the index numbers: loops name them in turn, a twelve-team roster's
  // nested loops 96 of them.
  std::array<TVarlist::THint, 128> name_hints{};
  std::size_t name_key = 0;
};
