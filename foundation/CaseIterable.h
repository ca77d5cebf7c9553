#pragma once

#include <concepts>
#include <vector>

namespace zestrel {

// The list of every case of an enumeration, in declaration order. An enumeration takes part
// by specialising `CaseList<E>` with `static const std::vector<E>& allCases()`.
template <class E> struct CaseList;

template <class E>
concept CaseIterable = requires {
    { CaseList<E>::allCases() } -> std::convertible_to<const std::vector<E>&>;
};

template <CaseIterable E> const std::vector<E>& allCases() {
    return CaseList<E>::allCases();
}

} // namespace zestrel
