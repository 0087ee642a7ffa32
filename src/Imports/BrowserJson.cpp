// What the program reads from browsers' JSON files: the selected tab of a Firefox session store
// and the "Bookmarks" file of a Chromium, Chrome or Edge profile. The only user of the JSON
// library.
#include "Imports/BookmarkFile.h"
#include "Imports/SessionStore.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include <string>
#include <utility>
#include <vector>

namespace gathra {

namespace {

using Json = nlohmann::json;

std::string StringField(const Json& node, const char* key) {
    auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A 1-based position into an array, out-of-range values taken as `fallback`.
size_t Position(const Json& object, const char* key, size_t size, size_t fallback) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer()) return fallback;
    const long long value = it->get<long long>();
    if (value < 1 || static_cast<unsigned long long>(value) > size) return fallback;
    return static_cast<size_t>(value);
}

const Json* ArrayOf(const Json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    if (it == object.end() || !it->is_array() || it->empty()) return nullptr;
    return &*it;
}

std::string TextOf(const Json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

std::optional<BrowserPage> SelectedPageInSession(const std::string& json) {
    const Json session = Json::parse(json, nullptr, false);
    if (session.is_discarded()) return std::nullopt;
    const Json* windows = ArrayOf(session, "windows");
    if (windows == nullptr) return std::nullopt;
    const Json& window = (*windows)[Position(session, "selectedWindow", windows->size(), 1) - 1];
    const Json* tabs = ArrayOf(window, "tabs");
    if (tabs == nullptr) return std::nullopt;
    const Json& tab = (*tabs)[Position(window, "selected", tabs->size(), 1) - 1];
    const Json* entries = ArrayOf(tab, "entries");
    if (entries == nullptr) return std::nullopt;
    // "index" points at the tab's current place in its history; without it, the newest.
    const Json& entry = (*entries)[Position(tab, "index", entries->size(), entries->size()) - 1];
    if (!entry.is_object()) return std::nullopt;
    BrowserPage page{TextOf(entry, "url"), TextOf(entry, "title")};
    if (page.Url.empty()) return std::nullopt;
    return page;
}

TBookmarkOutline ReadChromiumBookmarks(std::string_view json) {
    TBookmarkOutline outline;
    Json document = Json::parse(json.begin(), json.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) return outline;
    auto roots = document.find("roots");
    if (roots == document.end() || !roots->is_object()) return outline;

    // Depth first with an explicit stack: (node, the outline item it goes under).
    std::vector<std::pair<const Json*, int>> stack;
    auto pushChildren = [&stack](const Json& folder, int under) {
        auto children = folder.find("children");
        if (children == folder.end() || !children->is_array()) return;
        for (auto child = children->rbegin(); child != children->rend(); ++child)
            if (child->is_object()) stack.push_back({&*child, under});
    };
    // The browser shows its roots in this order; roots it may add later follow.
    std::vector<std::string> order = {"bookmark_bar", "other", "synced"};
    for (auto it = roots->begin(); it != roots->end(); ++it)
        if (it.value().is_object() && it.value().contains("children") &&
            std::find(order.begin(), order.end(), it.key()) == order.end())
            order.push_back(it.key());
    for (const std::string& key : order) {
        auto root = roots->find(key);
        if (root == roots->end() || !root->is_object()) continue;
        int folder = outline.Add(-1, StringField(*root, "name"), "");
        pushChildren(*root, folder);
        while (!stack.empty()) {
            auto [node, under] = stack.back();
            stack.pop_back();
            const std::string type = StringField(*node, "type");
            if (type == "folder") {
                pushChildren(*node, outline.Add(under, StringField(*node, "name"), ""));
            } else if (type == "url") {
                std::string url = StringField(*node, "url");
                if (IsImportableAddress(url))
                    outline.Add(under, StringField(*node, "name"), std::move(url));
            }
        }
    }
    return outline;
}

} // namespace gathra
