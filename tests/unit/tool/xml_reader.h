// A strict reader of small XML documents, for checking the pictures that
// trax svg draws: it refuses what is not well-formed (unbalanced or
// mismatched tags, unquoted or repeated attributes, a bare '<' or '&' in
// text, characters XML cannot hold, more than one root).
#ifndef TAVRI_TESTS_UNIT_TOOL_XML_READER_H
#define TAVRI_TESTS_UNIT_TOOL_XML_READER_H

#include <map>
#include <string>
#include <vector>

namespace tavri::tool_test {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;  // entities replaced
    std::string text;                               // its own text, entities replaced
    std::vector<XmlElement> children;

    // Every element below this one (at any depth) with the name, in document order.
    std::vector<const XmlElement *> All(const std::string &element_name) const;
    const XmlElement *Child(const std::string &element_name) const;  // the first, or null
    std::string Attribute(const std::string &attribute) const;       // "" when absent
};

// False with *error (and the offset) when the text is not a well-formed document.
bool ReadXml(const std::string &text, XmlElement *root, std::string *error);

}  // namespace tavri::tool_test

#endif
