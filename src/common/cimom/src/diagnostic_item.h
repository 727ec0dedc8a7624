#ifndef VORNET_DIAGNOSTIC_ITEM_H
#define VORNET_DIAGNOSTIC_ITEM_H

#include <string>
#include <utility>

// One offered diagnostic: the path text of the diagnostic service (first) and of the managed
// element it tests (second).
typedef std::pair<std::string, std::string> DiagnosticItem;

#endif
