// A benchmark's command line after its fixed arguments: "--name value" options and bare
// "--flag"s in any order. An option given twice counts as given last; a value missing at the
// end is ignored.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <set>
#include <string>

namespace bench {

class Args {
 public:
  // Reads argv[first..]; the names in `flags` take no value.
  Args(int argc, char** argv, int first, std::initializer_list<std::string> flags = {}) {
    const std::set<std::string> bare(flags);
    for (int i = first; i < argc; ++i) {
      const std::string name = argv[i];
      if (bare.count(name) > 0) {
        flags_.insert(name);
      } else if (i + 1 < argc) {
        values_[name] = argv[++i];
      }
    }
  }

  bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
  std::string Text(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
  }
  long Number(const std::string& name, long fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : std::atol(it->second.c_str());
  }

 private:
  std::set<std::string> flags_;
  std::map<std::string, std::string> values_;
};

}  // namespace bench
