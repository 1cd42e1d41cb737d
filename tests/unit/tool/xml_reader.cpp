#include "xml_reader.h"

#include <cctype>
#include <cstdlib>

namespace tavri::tool_test {
namespace {

class Reader {
  public:
    explicit Reader(const std::string &text) : t_(text) {}

    bool Document(XmlElement *root, std::string *error) {
        Skip();
        if (Starts("<?xml")) {
            const size_t end = t_.find("?>", at_);
            if (end == std::string::npos) return Fail("an unclosed declaration", error);
            at_ = end + 2;
        }
        Misc();
        if (!Starts("<")) return Fail("no root element", error);
        if (!Element(root, error)) return false;
        Misc();
        if (at_ != t_.size()) return Fail("content after the root element", error);
        return true;
    }

  private:
    bool Starts(const char *prefix) const { return t_.compare(at_, std::char_traits<char>::length(prefix), prefix) == 0; }
    void Skip() {
        while (at_ < t_.size() && (t_[at_] == ' ' || t_[at_] == '\n' || t_[at_] == '\t' || t_[at_] == '\r')) ++at_;
    }
    void Misc() {
        for (;;) {
            Skip();
            if (!Starts("<!--")) return;
            const size_t end = t_.find("-->", at_);
            at_ = end == std::string::npos ? t_.size() : end + 3;
        }
    }
    bool Fail(const std::string &what, std::string *error) const {
        *error = what + " at offset " + std::to_string(at_);
        return false;
    }
    std::string Name() {
        const size_t start = at_;
        while (at_ < t_.size() && (std::isalnum(static_cast<unsigned char>(t_[at_])) || t_[at_] == '-' ||
                                   t_[at_] == '_' || t_[at_] == ':' || t_[at_] == '.')) {
            ++at_;
        }
        return t_.substr(start, at_ - start);
    }
    // Character data up to `stop`, entities replaced.
    bool Text(char stop, std::string *out, std::string *error) {
        while (at_ < t_.size() && t_[at_] != stop) {
            const unsigned char c = static_cast<unsigned char>(t_[at_]);
            if (c == '<') return Fail("a bare '<'", error);
            if (c < 0x20 && c != '\n' && c != '\t' && c != '\r') return Fail("a control character", error);
            if (c >= 0x80) {
                // UTF-8: a lead byte and its continuation bytes.
                const size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
                for (size_t k = 1; k < length; ++k) {
                    if (at_ + k >= t_.size() || (static_cast<unsigned char>(t_[at_ + k]) & 0xC0) != 0x80) {
                        return Fail("bytes that are not UTF-8", error);
                    }
                }
                if (length == 0) return Fail("bytes that are not UTF-8", error);
                out->append(t_, at_, length);
                at_ += length;
                continue;
            }
            if (c != '&') {
                out->push_back(static_cast<char>(c));
                ++at_;
                continue;
            }
            const size_t end = t_.find(';', at_);
            if (end == std::string::npos || end - at_ > 10) return Fail("a bare '&'", error);
            const std::string entity = t_.substr(at_ + 1, end - at_ - 1);
            static const std::map<std::string, char> kNamed = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (auto named = kNamed.find(entity); named != kNamed.end()) {
                out->push_back(named->second);
            } else if (entity.size() > 1 && entity[0] == '#') {
                const long code = entity[1] == 'x' ? std::strtol(entity.c_str() + 2, nullptr, 16)
                                                   : std::strtol(entity.c_str() + 1, nullptr, 10);
                if (code < 0x20 && code != '\n' && code != '\t' && code != '\r') {
                    return Fail("a character reference XML cannot hold", error);
                }
                if (code < 0x80) out->push_back(static_cast<char>(code));
            } else {
                return Fail("an unknown entity &" + entity + ";", error);
            }
            at_ = end + 1;
        }
        return true;
    }
    bool Element(XmlElement *element, std::string *error) {
        ++at_;  // '<'
        element->name = Name();
        if (element->name.empty()) return Fail("an element without a name", error);
        for (;;) {
            const size_t before = at_;
            Skip();
            if (Starts("/>")) {
                at_ += 2;
                return true;
            }
            if (Starts(">")) {
                ++at_;
                break;
            }
            if (at_ == before) return Fail("attributes without space between them", error);
            const std::string name = Name();
            if (name.empty() || !Starts("=\"")) return Fail("an attribute without a quoted value", error);
            at_ += 2;
            std::string value;
            if (!Text('"', &value, error)) return false;
            if (at_ == t_.size()) return Fail("an unclosed attribute value", error);
            ++at_;
            if (!element->attributes.emplace(name, value).second) return Fail("a repeated attribute " + name, error);
        }
        for (;;) {
            if (!Text('<', &element->text, error)) return false;
            if (at_ == t_.size()) return Fail("an unclosed <" + element->name + ">", error);
            if (Starts("<!--")) {
                Misc();
                continue;
            }
            if (Starts("</")) {
                at_ += 2;
                if (Name() != element->name || !Starts(">")) return Fail("a mismatched end tag", error);
                ++at_;
                return true;
            }
            element->children.emplace_back();
            if (!Element(&element->children.back(), error)) return false;
        }
    }

    const std::string &t_;
    size_t at_ = 0;
};

void Collect(const XmlElement &element, const std::string &name, std::vector<const XmlElement *> *out) {
    for (const XmlElement &child : element.children) {
        if (child.name == name) out->push_back(&child);
        Collect(child, name, out);
    }
}

}  // namespace

std::vector<const XmlElement *> XmlElement::All(const std::string &element_name) const {
    std::vector<const XmlElement *> found;
    Collect(*this, element_name, &found);
    return found;
}

const XmlElement *XmlElement::Child(const std::string &element_name) const {
    for (const XmlElement &child : children) {
        if (child.name == element_name) return &child;
    }
    return nullptr;
}

std::string XmlElement::Attribute(const std::string &attribute) const {
    const auto found = attributes.find(attribute);
    return found == attributes.end() ? "" : found->second;
}

bool ReadXml(const std::string &text, XmlElement *root, std::string *error) {
    *root = XmlElement();
    return Reader(text).Document(root, error);
}

}  // namespace tavri::tool_test
