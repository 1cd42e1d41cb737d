// Suppressing by module definition: every instance of the named module
// definitions is left out of the dump, with everything below it.
#ifndef TAVRI_PLI_MODULE_MAP_H
#define TAVRI_PLI_MODULE_MAP_H

#include <string>
#include <unordered_set>

namespace tavri::pli {

// The longest module definition name taken (the size of the name buffer the
// names were staged in, less its terminator).
constexpr size_t kMaxDefinitionName = 1023;

class ModuleMap {
  public:
    // Adds a definition name once; a null name is ignored, a name longer
    // than kMaxDefinitionName is refused with a warning (a cut name could
    // match another module).
    void Add(const char *definition_name);
    bool Contains(const char *definition_name) const;
    bool Empty() const { return names_.empty(); }

  private:
    std::unordered_set<std::string> names_;
};

// Walks the design from its top modules and suppresses each module instance
// whose definition is in the map, with its subtree. Instances inside named
// and generate blocks are found too.
void SuppressModuleInstances(const ModuleMap &modules);

}  // namespace tavri::pli

#endif
