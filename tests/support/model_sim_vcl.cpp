// Values and value changes: the setters of the tests, the value of every
// object kind, and the value-change links (acc_vcl_add / acc_vcl_delete) with
// their delivery.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "support/model_sim_internal.h"

namespace tavri::test {
namespace {

BitStrength DriveOf(Logic value, int strength) {
    if (value == Logic::kZ) {
        return BitStrength{vclHighZ, vclHighZ};
    }
    const auto level = static_cast<unsigned char>(strength < 0 ? vclStrong : strength);
    return BitStrength{level, level};
}

bool Contains(const std::vector<int> &list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

ModelSim::BitState ModelSim::StateOf(const Signal *signal, int position) const {
    BitState state{signal->value.bit(position), BitStrength{}};
    if (signal->IsNet()) {
        state.strength = signal->strengths[static_cast<std::size_t>(position)];
    }
    return state;
}

void ModelSim::WriteBits(Signal *signal, const std::vector<std::pair<int, BitState>> &writes) {
    std::vector<int> logic_changed;
    std::vector<int> strength_changed;
    for (const auto &[position, state] : writes) {
        const BitState old = StateOf(signal, position);
        if (old.logic != state.logic) {
            logic_changed.push_back(position);
        }
        if (old.logic != state.logic || (signal->IsNet() && !(old.strength == state.strength))) {
            strength_changed.push_back(position);
        }
        signal->value.set_bit(position, state.logic);
        if (signal->IsNet()) {
            signal->strengths[static_cast<std::size_t>(position)] = state.strength;
        }
    }
    NotifySignal(signal, logic_changed, strength_changed);
}

void ModelSim::SetValue(Object *object, std::string_view binary, int strength) {
    if (object == nullptr || !Owns(object)) {
        throw std::invalid_argument("SetValue: unknown object");
    }
    Signal *storage = nullptr;
    int first = 0;
    int count = 0;
    switch (object->kind) {
        case ObjectKind::kNet:
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime:
            storage = static_cast<Signal *>(object);
            count = storage->Size();
            break;
        case ObjectKind::kBit: {
            auto *bit = static_cast<Bit *>(object);
            storage = bit->vector;
            first = bit->position;
            count = 1;
            break;
        }
        default:
            throw std::invalid_argument("SetValue: " + object->FullName() + " holds no four-state value");
    }
    if (storage->IsNet()) {
        storage = Simulated(storage);
    }
    const FourState value = FourState::FromBinary(binary, count);
    std::vector<std::pair<int, BitState>> writes;
    for (int i = 0; i < count; ++i) {
        const Logic logic = value.bit(i);
        writes.emplace_back(first + i, BitState{logic, DriveOf(logic, strength)});
    }
    WriteBits(storage, writes);
}

void ModelSim::SetBit(Signal *vector, int index, Logic value, int strength) {
    Bit *bit = BitOf(vector, index);
    if (bit == nullptr) {
        throw std::invalid_argument("SetBit: no bit " + std::to_string(index));
    }
    SetValue(bit, std::string(1, LogicChar(value)), strength);
}

void ModelSim::SetStrengths(Object *net_or_bit, Logic value, int strength1, int strength2) {
    Signal *storage = nullptr;
    int position = 0;
    if (net_or_bit != nullptr && net_or_bit->kind == ObjectKind::kNet &&
        static_cast<Signal *>(net_or_bit)->Size() == 1) {
        storage = static_cast<Signal *>(net_or_bit);
    } else if (net_or_bit != nullptr && net_or_bit->kind == ObjectKind::kBit &&
               static_cast<Bit *>(net_or_bit)->vector->IsNet()) {
        storage = static_cast<Bit *>(net_or_bit)->vector;
        position = static_cast<Bit *>(net_or_bit)->position;
    } else {
        throw std::invalid_argument("SetStrengths: not a scalar net or net bit");
    }
    const BitStrength strengths{static_cast<unsigned char>(strength1), static_cast<unsigned char>(strength2)};
    WriteBits(Simulated(storage), {{position, BitState{value, strengths}}});
}

void ModelSim::SetInteger(Signal *variable, std::int64_t number) {
    if (variable == nullptr || !Owns(variable)) {
        throw std::invalid_argument("SetInteger: unknown object");
    }
    SetValue(variable, FourState::FromUnsigned(static_cast<std::uint64_t>(number), variable->Size()).ToBinary());
}

void ModelSim::SetReal(RealVar *variable, double number) {
    if (variable == nullptr || !Owns(variable)) {
        throw std::invalid_argument("SetReal: unknown object");
    }
    const bool changed = std::memcmp(&variable->value, &number, sizeof number) != 0;
    variable->value = number;
    if (changed) {
        Deliver(variable, true, true);
    }
}

void ModelSim::Trigger(NamedEvent *event) {
    if (event == nullptr || !Owns(event)) {
        throw std::invalid_argument("Trigger: unknown event");
    }
    ++event->triggers;
    Deliver(event, true, true);
}

void ModelSim::SetWord(Memory *memory, int index, std::string_view binary) {
    const int cell = memory == nullptr ? -1 : memory->CellOf(index);
    if (cell < 0) {
        throw std::invalid_argument("SetWord: no element " + std::to_string(index));
    }
    memory->cells[static_cast<std::size_t>(cell)] = FourState::FromBinary(binary, memory->WordWidth());
    if (!memory->pli_buffer.empty()) {
        LayOutMemory(memory);
    }
}

FourState ModelSim::ValueOf(const Object *object) const {
    auto rounded = [](double number) {
        return FourState::FromUnsigned(static_cast<std::uint64_t>(std::llround(number)), 64);
    };
    switch (object->kind) {
        case ObjectKind::kNet:
            return Simulated(const_cast<Signal *>(static_cast<const Signal *>(object)))->value;
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime:
            return static_cast<const Signal *>(object)->value;
        case ObjectKind::kBit: {
            const auto *bit = static_cast<const Bit *>(object);
            const Signal *storage = bit->vector->IsNet() ? Simulated(bit->vector) : bit->vector;
            return FourState(1, storage->value.bit(bit->position));
        }
        case ObjectKind::kReal:
            return rounded(static_cast<const RealVar *>(object)->value);
        case ObjectKind::kParameter: {
            const auto *parameter = static_cast<const Parameter *>(object);
            return parameter->fulltype == accRealParam ? rounded(parameter->real) : parameter->value;
        }
        case ObjectKind::kConstant: {
            const auto *constant = static_cast<const Constant *>(object);
            return constant->is_real ? rounded(constant->real) : constant->value;
        }
        case ObjectKind::kEvent:
            return FourState(1, Logic::kX);
        case ObjectKind::kPort:
            return ValueOf(static_cast<const Port *>(object)->loconn);
        default:
            return FourState();
    }
}

// Delivers a change of `simulated`'s storage to the links of the net itself,
// of every net collapsed into it, and of their bits: for each net first the
// links on the whole net, then those on its changed bits, left index first.
void ModelSim::NotifySignal(Signal *simulated, const std::vector<int> &logic_changed,
                            const std::vector<int> &strength_changed) {
    if (logic_changed.empty() && strength_changed.empty()) {
        return;
    }
    std::vector<Signal *> sharing{simulated};
    for (std::size_t i = 0; i < sharing.size(); ++i) {
        for (Signal *collapsed : sharing[i]->collapsed_from) {
            sharing.push_back(collapsed);
        }
    }
    for (Signal *signal : sharing) {
        Deliver(signal, !logic_changed.empty(), !strength_changed.empty());
        for (auto it = signal->bits.rbegin(); it != signal->bits.rend(); ++it) {
            const int position = (*it)->position;
            const bool logic = Contains(logic_changed, position);
            const bool strength = Contains(strength_changed, position);
            if (logic || strength) {
                Deliver(*it, logic, strength);
            }
        }
    }
}

s_vc_record ModelSim::RecordFor(const Link &link) const {
    s_vc_record record;
    std::memset(&record, 0, sizeof record);
    record.vc_hightime = static_cast<int>(now_ >> 32);
    record.vc_lowtime = static_cast<int>(now_ & 0xffffffffU);
    record.user_data = link.user_data;
    const Object *object = link.object;
    const Signal *signal = nullptr;
    int position = 0;
    if (object->kind == ObjectKind::kBit) {
        signal = static_cast<const Bit *>(object)->vector;
        position = static_cast<const Bit *>(object)->position;
    } else if (object->kind == ObjectKind::kNet || object->kind == ObjectKind::kReg) {
        signal = static_cast<const Signal *>(object);
    }
    switch (object->kind) {
        case ObjectKind::kNet:
        case ObjectKind::kReg:
        case ObjectKind::kBit: {
            const bool is_net = signal->IsNet();
            const bool scalar = object->kind == ObjectKind::kBit || signal->Size() == 1;
            if (!scalar) {
                record.vc_reason = is_net ? vector_value_change : vregister_value_change;
                record.out_value.vector_handle = const_cast<Object *>(object);
                break;
            }
            const Signal *storage = is_net ? Simulated(const_cast<Signal *>(signal)) : signal;
            const BitState state = StateOf(storage, position);
            const auto logic = static_cast<unsigned char>(state.logic);
            if (!is_net) {
                record.vc_reason = sregister_value_change;
                record.out_value.logic_value = logic;
            } else if (link.flags == vcl_verilog_strength) {
                record.vc_reason = strength_value_change;
                record.out_value.strengths_s.logic_value = logic;
                record.out_value.strengths_s.strength1 = state.strength.strength1;
                record.out_value.strengths_s.strength2 = state.strength.strength2;
            } else {
                record.vc_reason = logic_value_change;
                record.out_value.logic_value = logic;
            }
            break;
        }
        case ObjectKind::kInteger:
            record.vc_reason = integer_value_change;
            record.out_value.vector_handle = const_cast<Object *>(object);
            break;
        case ObjectKind::kTime:
            record.vc_reason = time_value_change;
            record.out_value.vector_handle = const_cast<Object *>(object);
            break;
        case ObjectKind::kReal:
            record.vc_reason = real_value_change;
            record.out_value.real_value = static_cast<const RealVar *>(object)->value;
            break;
        case ObjectKind::kEvent:
            record.vc_reason = event_value_change;
            break;
        default:
            break;
    }
    return record;
}

// Calls the links of `object` that the change concerns. The list is copied
// first so that consumers may add or delete links; a link deleted before its
// turn is skipped, one added during the delivery waits for the next change.
void ModelSim::Deliver(Object *object, bool logic_changed, bool strength_changed) {
    const auto found = links_.find(object);
    if (found == links_.end() || found->second.empty()) {
        return;
    }
    const std::vector<std::shared_ptr<Link>> snapshot = found->second;
    CallContext no_instance(this, nullptr);
    for (const auto &link : snapshot) {
        if (!link->alive) {
            continue;
        }
        const bool wanted = link->flags == vcl_verilog_strength ? strength_changed : logic_changed;
        if (wanted) {
            s_vc_record record = RecordFor(*link);
            link->consumer(&record);
        }
    }
}

void ModelSim::acc_vcl_add(handle h, p_vc_consumer consumer, char *user_data, int flags) {
    Object *object = Known(h, "acc_vcl_add");
    if (object == nullptr) {
        return;
    }
    switch (object->kind) {
        case ObjectKind::kNet:
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime:
        case ObjectKind::kReal:
        case ObjectKind::kEvent:
        case ObjectKind::kBit:
            break;
        default:
            Diagnose("acc_vcl_add: no value changes on " + object->FullName());
            return;
    }
    if (consumer == nullptr || (flags != vcl_verilog_logic && flags != vcl_verilog_strength)) {
        Diagnose("acc_vcl_add: bad consumer or flags for " + object->FullName());
        return;
    }
    links_[object].push_back(std::make_shared<Link>(Link{object, consumer, user_data, flags}));
}

void ModelSim::acc_vcl_delete(handle h, p_vc_consumer consumer, char *user_data, int flags) {
    Object *object = Known(h, "acc_vcl_delete");
    if (object == nullptr) {
        return;
    }
    auto &list = links_[object];
    const auto it = std::find_if(list.begin(), list.end(), [&](const std::shared_ptr<Link> &link) {
        return link->consumer == consumer && link->user_data == user_data && link->flags == flags;
    });
    if (it == list.end()) {
        Diagnose("acc_vcl_delete: no such link on " + object->FullName());
        return;
    }
    (*it)->alive = false;
    list.erase(it);
}

}  // namespace tavri::test
