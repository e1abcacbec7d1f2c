#include "UriReference.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace vandreth {

namespace {

// A URI or URI reference split into its parts; a part that is absent is not the same as an
// empty one ("http://a/b?" has an empty query, "http://a/b" none).
struct UriParts {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
};

// Splits `text` as the regular expression of RFC 3986, appendix B, does; the fragment is dropped.
UriParts splitUri(std::string_view text)
{
    UriParts parts;
    text = text.substr(0, text.find('#'));
    // A scheme ends at the first ':', before any '/' or '?'.
    const std::size_t colon = text.find_first_of(":/?");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') {
        parts.scheme = std::string(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    if (text.starts_with("//")) {
        const std::size_t end = std::min(text.find_first_of("/?", 2), text.size());
        parts.authority = std::string(text.substr(2, end - 2));
        text.remove_prefix(end);
    }
    const std::size_t question = text.find('?');
    parts.path = std::string(text.substr(0, question));
    if (question != std::string_view::npos) {
        parts.query = std::string(text.substr(question + 1));
    }
    return parts;
}

// Drops the last segment of `output` together with the "/" before it.
void dropLastSegment(std::string& output)
{
    const std::size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
}

// The path with its "." and ".." segments worked out (RFC 3986, section 5.2.4).
std::string removeDotSegments(std::string_view input)
{
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./") || input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            dropLastSegment(output);
        } else if (input == "/..") {
            input = "/";
            dropLastSegment(output);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const std::size_t end = std::min(input.find('/', 1), input.size());
            output.append(input.substr(0, end));
            input.remove_prefix(end);
        }
    }
    return output;
}

// A relative path put in place of the last segment of the base's path (section 5.2.3).
std::string mergePaths(const UriParts& base, const std::string& relativePath)
{
    if (base.authority && base.path.empty()) {
        return "/" + relativePath;
    }
    const std::size_t slash = base.path.rfind('/');
    return slash == std::string::npos ? relativePath : base.path.substr(0, slash + 1) + relativePath;
}

// The target of `reference` against `base` (section 5.2.2, strict: a reference that names a
// scheme is absolute, even when it is the base's scheme).
UriParts resolveParts(const UriParts& base, const UriParts& reference)
{
    if (reference.scheme) {
        return {reference.scheme, reference.authority, removeDotSegments(reference.path), reference.query};
    }
    if (reference.authority) {
        return {base.scheme, reference.authority, removeDotSegments(reference.path), reference.query};
    }
    if (reference.path.empty()) {
        return {base.scheme, base.authority, base.path, reference.query ? reference.query : base.query};
    }
    const std::string path = reference.path.front() == '/' ? reference.path : mergePaths(base, reference.path);
    return {base.scheme, base.authority, removeDotSegments(path), reference.query};
}

// The parts put together again (section 5.3).
std::string recompose(const UriParts& parts)
{
    std::string text;
    if (parts.scheme) {
        text += *parts.scheme + ":";
    }
    if (parts.authority) {
        text += "//" + *parts.authority;
    }
    text += parts.path;
    if (parts.query) {
        text += "?" + *parts.query;
    }
    return text;
}

}  // namespace

std::string resolveReference(const std::string& base, const std::string& reference)
{
    return recompose(resolveParts(splitUri(base), splitUri(reference)));
}

}  // namespace vandreth
