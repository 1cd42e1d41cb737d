#include "support/model_sim_objects.h"

namespace tavri::test {

std::string Object::FullName() const {
    if (scope == nullptr) {
        return name;
    }
    return scope->FullName() + "." + name;
}

const Scope *Scope::Module() const {
    const Scope *s = this;
    while (s != nullptr && !s->IsModule()) {
        s = s->scope;
    }
    return s;
}

int Signal::PositionOf(int index) const {
    const int position = msb >= lsb ? index - lsb : lsb - index;
    return (position >= 0 && position < Size()) ? position : -1;
}

int Memory::CellOf(int index) const {
    const int low = first < last ? first : last;
    const int cell = index - low;
    return (cell >= 0 && cell < static_cast<int>(cells.size())) ? cell : -1;
}

}  // namespace tavri::test
