// Names Jet 3 refuses made into names it takes, the same way wherever a name is made (the plan,
// the command line's run, the window's run): the refused characters become '_', leading blanks go,
// a name longer than 64 bytes in code page 932 is cut at a character boundary, and a name that then
// clashes with another gets the smallest free suffix _2, _3, ... Names Jet takes as they stand are
// never changed.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vellicor::engine {

// Whether Jet 3 takes the name as it stands in a file of code page 932.
bool isNameJetTakes(std::string_view name);

// The name with each character Jet does not allow in a name (control characters, . ! ` [ ],
// characters code page 932 cannot hold, bytes that are not UTF-8) replaced by '_', the leading
// blanks dropped and the rest cut to 64 bytes of code page 932 at a character boundary. A name that
// leaves nothing is "_". Unchanged for a name Jet takes.
std::string fittedName(std::string_view name);

// The General sort key of a name in code page 932, as bytes: names with equal keys are one name
// to Jet.
std::string nameKey(std::string_view name);

// The name as a file of code page 932 stores and gives it back (a few characters come back as
// their code page's usual form, U+301C as U+FF5E for example).
std::string storedName(std::string_view name);

// The names of one scope (a file's tables, one table's fields), compared as Jet compares them:
// through their General sort keys in code page 932 (letter case and some differences of
// double-byte characters do not count).
class NameScope {
 public:
  bool isTaken(std::string_view name) const;
  void take(std::string_view name);
  // A name for a refused `name` that is free in the scope: its fitted form, or that form with the
  // smallest suffix _2, _3, ... that is free (the form cut further so that it fits 64 bytes with
  // its suffix). The result is taken.
  std::string takeFitted(std::string_view name);

 private:
  std::set<std::string> keys_;
};

// Names for a list of names of one scope, in order: names Jet takes keep their places first (a
// later one that clashes with an earlier or with the scope stays as it is, and its table or field
// then fails as before); refused names then get takeFitted in their order.
std::vector<std::string> fitNames(const std::vector<std::string>& names, NameScope& scope);

// The table names of a run's admitted objects, in list order: suffix + object name, made to fit
// where Jet refuses it, clear of the tables already in the file and of the sequence list's table.
std::vector<std::string> tableNamesFor(const std::vector<std::string>& objectNames, const std::string& suffix,
                                       const std::vector<std::string>& tablesInFile);

}  // namespace vellicor::engine
