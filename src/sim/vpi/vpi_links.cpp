// Value-change links over the simulator's value-change callbacks. A link
// asks the simulator for exactly what its record carries: the scalar value
// of a scalar, the real of a real. Vectors and the like carry only their
// handle (the dumper reads their values once at the end of the time step),
// but the callbacks of narrow ones take the value as binary text and keep
// it: that read then finds it without asking the simulator again. A vector
// that fires several callbacks per read (one driven bit by bit) is
// registered again without the value once that shows.
// Strengths cannot come with the callback (the simulator does not deliver
// that format), so a strength link is called without a value and reads the
// strengths then.
#include <deque>
#include <vector>

#include "sim/pointer_table.h"
#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {

// Everything a link holds fits one cache line: links are reached in no
// order a cache would follow.
struct alignas(64) Link {
    vpiHandle object = nullptr;
    p_vc_consumer consumer = nullptr;
    char *user_data = nullptr;
    VectorCache *cache = nullptr;  // where a vector's delivered value is kept
    vpiHandle callback = nullptr;
    Link *next = nullptr;  // the next link of the same user data, or the next free one
    int reason = 0;        // the value-change reason its records carry
    int value_format = 0;  // what the simulator delivers with the callback
    int flags = 0;
};
static_assert(sizeof(Link) == 64);

// A vector link made together with its object's cache entry. A change reads
// the one right after the other, so they share an aligned pair of cache
// lines, which the processor fetches together.
struct alignas(128) LinkWithCache {
    Link link;
    VectorCache cache;
};
static_assert(sizeof(LinkWithCache) == 128);

namespace {

vpiHandle Vpi(handle object) { return static_cast<vpiHandle>(object); }

// Links by their user data (a hook entry per link in the dumper), those of
// one user data chained from the first. A link stays where it was made (the
// simulator's callback points at it): they are made in chunks, which a deque
// never moves, created with the first link, and a removed one is reused.
// Left to the exit, as the object facts are (vpi_object_facts.cpp).
sim::PointerTable<char, Link> &g_links = *new sim::PointerTable<char, Link>;
std::deque<Link> *g_link_store = nullptr;
std::deque<LinkWithCache> *g_paired_store = nullptr;
Link *g_free_links = nullptr;

Link *NewLink() {
    if (Link *link = g_free_links) {
        g_free_links = link->next;
        *link = Link{};
        return link;
    }
    if (g_link_store == nullptr) {
        g_link_store = new std::deque<Link>;
    }
    return &g_link_store->emplace_back();
}

// A new link with room beside it for its object's new cache entry.
Link *NewLinkBesideCache(VectorCache **room) {
    if (g_paired_store == nullptr) {
        g_paired_store = new std::deque<LinkWithCache>;
    }
    LinkWithCache &pair = g_paired_store->emplace_back();
    *room = &pair.cache;
    return &pair.link;
}

// The table cannot hold a null key: the links of null user data have a
// chain of their own.
Link *g_links_of_null = nullptr;

Link *FirstLink(char *user_data) { return user_data != nullptr ? g_links.Find(user_data) : g_links_of_null; }

// Makes `link` (or none) the first of `user_data`'s chain.
void SetFirstLink(char *user_data, Link *link) {
    if (user_data == nullptr) {
        g_links_of_null = link;
        return;
    }
    g_links.Remove(user_data);
    if (link != nullptr) {
        g_links.Insert(user_data, link);
    }
}

void FreeLink(Link *link) {
    link->next = g_free_links;
    g_free_links = link;
}

// Value-change callbacks running now (a consumer may cause another).
int g_callback_depth = 0;

constexpr uint8_t kLogic[4] = {vcl0, vcl1, vclZ, vclX};

uint8_t VclLogic(int vpi_scalar) {
    return vpi_scalar >= 0 && vpi_scalar < 4 ? kLogic[vpi_scalar] : static_cast<uint8_t>(vclX);
}

// The strength level (0 high impedance .. 7 supply) of a VPI strength mask.
unsigned char Level(int mask) {
    if (mask & vpiSupplyDrive) return vclSupply;
    if (mask & vpiStrongDrive) return vclStrong;
    if (mask & vpiPullDrive) return vclPull;
    if (mask & vpiLargeCharge) return vclLarge;
    if (mask & vpiWeakDrive) return vclWeak;
    if (mask & vpiMediumCharge) return vclMedium;
    if (mask & vpiSmallCharge) return vclSmall;
    return vclHighZ;
}

// The strengths of a scalar as a value-change record gives them: for 0 and
// 1 both fields hold the strength of that value, for X the strengths of its
// 0 and its 1 component, for Z none. Should the simulator give no strengths,
// the logic value still goes out, with none.
void FetchStrengths(vpiHandle object, s_strengths *out) {
    s_vpi_value value{};
    value.format = vpiStrengthVal;
    vpi_get_value(object, &value);
    if (value.format != vpiStrengthVal || value.value.strength == nullptr) {
        value = {};
        value.format = vpiScalarVal;
        vpi_get_value(object, &value);
        out->logic_value = VclLogic(value.value.scalar);
        return;
    }
    const s_vpi_strengthval &strength = *value.value.strength;
    out->logic_value = VclLogic(strength.logic);
    switch (strength.logic) {
        case vpi0:
            out->strength1 = out->strength2 = Level(strength.s0);
            break;
        case vpi1:
            out->strength1 = out->strength2 = Level(strength.s1);
            break;
        case vpiZ:
            out->strength1 = out->strength2 = vclHighZ;
            break;
        default:
            out->strength1 = Level(strength.s0);
            out->strength2 = Level(strength.s1);
            break;
    }
}

PLI_INT32 ValueChanged(p_cb_data data) {
    const Link &link = *reinterpret_cast<const Link *>(data->user_data);
    // The consumer reads its user data next: fetch it while the value is
    // stored.
    __builtin_prefetch(link.user_data);
    s_vc_record record{};
    record.vc_reason = link.reason;
    record.vc_hightime = data->time != nullptr ? static_cast<int>(data->time->high) : 0;
    record.vc_lowtime = data->time != nullptr ? static_cast<int>(data->time->low) : 0;
    record.user_data = link.user_data;
    switch (link.reason) {
        case logic_value_change:
        case sregister_value_change:
            record.out_value.logic_value = VclLogic(data->value != nullptr ? data->value->value.scalar : vpiX);
            break;
        case strength_value_change:
            FetchStrengths(link.object, &record.out_value.strengths_s);
            break;
        case real_value_change:
            record.out_value.real_value = data->value != nullptr ? data->value->value.real : 0.0;
            break;
        default:
            if (link.cache != nullptr) {
                StoreVector(link.cache, data->value, data->time);
            }
            record.out_value.vector_handle = link.object;
            break;
    }
    ++g_callback_depth;
    link.consumer(&record);
    --g_callback_depth;
    return 0;
}

// Registers the value-change callback of `link` as its value format says;
// the simulator's handle of it, or null when refused. The time and value
// records the simulator is given only say which formats to deliver: it
// fills in the ones each call gets. They are shared by all links, which
// holds whether the simulator keeps copies of them or fills these in place,
// since callbacks run one at a time and read them only while they run.
vpiHandle RegisterCallback(Link &link) {
    static s_vpi_time time{};
    static s_vpi_value value{};
    time = {};
    time.type = vpiSimTime;
    value = {};
    value.format = link.value_format;
    s_cb_data data{};
    data.reason = cbValueChange;
    data.cb_rtn = ValueChanged;
    data.obj = link.object;
    data.time = &time;
    data.value = &value;
    data.user_data = reinterpret_cast<PLI_BYTE8 *>(&link);
    return vpi_register_cb(&data);
}

// The reason and the value format of a link on `object`; false for objects
// whose changes cannot be followed.
bool Describe(vpiHandle object, int flags, int *reason, int *value_format) {
    const int type = ObjectKind(object);
    const int size = ObjectSize(object);
    *value_format = vpiSuppressVal;
    switch (type) {
        case vpiNet:
        case vpiNetBit:
            if (size == 1 && flags == vcl_verilog_strength) {
                *reason = strength_value_change;  // the callback reads the strengths
            } else if (size == 1) {
                *reason = logic_value_change;
                *value_format = vpiScalarVal;
            } else {
                *reason = vector_value_change;
            }
            return true;
        case vpiReg:
        case vpiRegBit:
            if (size == 1) {
                *reason = sregister_value_change;
                *value_format = vpiScalarVal;
            } else {
                *reason = vregister_value_change;
            }
            return true;
        case vpiIntegerVar:
            *reason = integer_value_change;
            return true;
        case vpiTimeVar:
            *reason = time_value_change;
            return true;
        case vpiRealVar:
            *reason = real_value_change;
            *value_format = vpiRealVal;
            return true;
        case vpiNamedEvent:
            *reason = event_value_change;
            return true;
        default:
            // Memories, net arrays, strings and the rest: the simulator
            // cannot follow them with value-change callbacks.
            return false;
    }
}

// Whether a vector link takes its value with the callback. The simulator
// copies the value bit by bit to deliver it, at about twice the cost per bit
// of a read, but a read has a large fixed cost: delivering pays for narrow
// vectors that change about once per time step.
bool DeliversValue(int reason, vpiHandle object) {
    switch (reason) {
        case vector_value_change:
        case vregister_value_change:
        case integer_value_change:
        case time_value_change:
            return ObjectSize(object) <= kDeliveredWidthLimit;
        default:
            return false;
    }
}

}  // namespace

void AccVclAdd(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    if (object == nullptr || consumer == nullptr) {
        return;
    }
    int reason = 0;
    int value_format = 0;
    if (!Describe(Vpi(object), flags, &reason, &value_format)) {
        return;
    }
    if (DeliversValue(reason, Vpi(object))) {
        value_format = vpiBinStrVal;
    }
    // A vector's first link is made beside its new cache entry.
    VectorCache *room = nullptr;
    Link &link = value_format == vpiBinStrVal && NeedsRoomForVectorCache(Vpi(object))
                     ? *NewLinkBesideCache(&room)
                     : *NewLink();
    link.object = Vpi(object);
    link.consumer = consumer;
    link.user_data = user_data;
    link.flags = flags;
    link.reason = reason;
    link.value_format = value_format;
    if (value_format == vpiBinStrVal) {
        link.cache = AttachVectorCache(link.object, ObjectSize(link.object), &link, room);
    }
    link.callback = RegisterCallback(link);
    if (link.callback == nullptr) {
        if (link.cache != nullptr) {
            DetachVectorCache(link.object, &link);
        }
        FreeLink(&link);
        return;
    }
    if (Link *first = FirstLink(user_data)) {
        link.next = first->next;
        first->next = &link;
    } else if (user_data != nullptr) {
        g_links.Insert(user_data, &link);
    } else {
        g_links_of_null = &link;
    }
}

void AccVclDelete(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    for (Link *before = nullptr, *link = FirstLink(user_data); link != nullptr; before = link, link = link->next) {
        if (link->object == Vpi(object) && link->consumer == consumer && link->flags == flags) {
            vpi_remove_cb(link->callback);
            if (link->cache != nullptr) {
                DetachVectorCache(link->object, link);
            }
            if (before != nullptr) {
                before->next = link->next;
            } else {
                SetFirstLink(user_data, link->next);
            }
            FreeLink(link);
            return;
        }
    }
}

bool StopDeliveringValues(Link *const *links, size_t count) {
    // Every new callback first, so that a refusal leaves the old ones in
    // place; the old ones go only once all new ones exist.
    std::vector<vpiHandle> callbacks;
    callbacks.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Link &link = *links[i];
        link.value_format = vpiSuppressVal;
        vpiHandle callback = RegisterCallback(link);
        if (callback == nullptr) {
            for (size_t j = 0; j <= i; ++j) {
                links[j]->value_format = vpiBinStrVal;
                if (j < i) {
                    vpi_remove_cb(callbacks[j]);
                }
            }
            return false;
        }
        callbacks.push_back(callback);
    }
    for (size_t i = 0; i < count; ++i) {
        vpi_remove_cb(links[i]->callback);
        links[i]->callback = callbacks[i];
        links[i]->cache = nullptr;
    }
    return true;
}

bool InValueChange() { return g_callback_depth > 0; }

}  // namespace tavri::vpi
