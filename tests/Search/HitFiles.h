#pragma once
#include "Search/SearchIndex.h"

#include <string>
#include <vector>

namespace gathra::test {

// The stored files of a search's hits, in their order.
inline std::vector<std::string> Files(const std::vector<SearchHit>& hits) {
    std::vector<std::string> files;
    for (const SearchHit& hit : hits)
        files.push_back(hit.File);
    return files;
}

} // namespace gathra::test
