// One declaration per function: its name, docstring body, implementation and
// parameters (name and kind, in order). The binder's parameter names, the
// converter of each argument, the request handed to the implementation and
// the docstring's signature line all come from it, so adding a parameter
// touches only the declaration and the implementation's request.
//
//   using Verify = Declare<"verify", "Docstring body.", functions::verify,
//                          Param<"digest_hex", Text>, Param<"key_hex", Text>>;
//
// The implementation takes one request struct, built by aggregate
// initialisation from the arguments' views in parameter order (trailing
// members the function does not take keep their defaults), and returns
// Expected<std::string> or Expected<bool>.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <utility>

#include "base/expected.hpp"

namespace corvane::boundary {

// A string literal usable as a template argument; NUL-terminated.
template <std::size_t N>
struct Literal {
  char text[N] = {};
  constexpr Literal(const char (&literal)[N]) { std::copy_n(literal, N, text); }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

// A parameter: its name as Python shows it, and its kind, which names the
// owning native value (Owner), its converter (convert) and the view handed to
// the implementation (view).
template <Literal Name, class Kind>
struct Param {
  static constexpr std::string_view name = Name.view();
  using kind = Kind;
};

// A run of parameters that several declarations share, spliced in where it
// stands in a declaration's parameter list.
template <class... Params>
struct ParamGroup {};

template <class A, class B>
struct JoinGroups;
template <class... A, class... B>
struct JoinGroups<ParamGroup<A...>, ParamGroup<B...>> {
  using type = ParamGroup<A..., B...>;
};

template <class... Items>
struct Flatten {
  using type = ParamGroup<>;
};
template <class Item, class... Rest>
struct Flatten<Item, Rest...> {
  using type = typename JoinGroups<ParamGroup<Item>, typename Flatten<Rest...>::type>::type;
};
template <class... Group, class... Rest>
struct Flatten<ParamGroup<Group...>, Rest...> {
  using type = typename JoinGroups<ParamGroup<Group...>, typename Flatten<Rest...>::type>::type;
};

template <class Implementation>
struct ImplementationTraits;

template <class Result, class Request>
struct ImplementationTraits<Expected<Result> (*)(const Request&)> {
  using result = Result;
  using request = Request;
};

// "name(a, b, c)\n--\n\n" + body: the head from which the interpreter derives
// __text_signature__, leaving the body alone as __doc__.
template <Literal Name, Literal Body, class... Params>
constexpr auto make_docstring() {
  constexpr std::string_view separator = ", ", head_end = ")\n--\n\n";
  constexpr std::size_t size = Name.view().size() + 1 + (std::size_t{0} + ... + Params::name.size()) +
                               separator.size() * (sizeof...(Params) == 0 ? 0 : sizeof...(Params) - 1) +
                               head_end.size() + Body.view().size();
  std::array<char, size + 1> out = {};
  std::size_t at = 0;
  const auto put = [&](std::string_view text) {
    for (const char c : text) out[at++] = c;
  };
  put(Name.view());
  put("(");
  std::size_t index = 0;
  ((put(index++ == 0 ? "" : separator), put(Params::name)), ...);
  put(head_end);
  put(Body.view());
  return out;
}

template <Literal Name, Literal Body, auto Implementation, class ParamList>
struct Declaration;

template <Literal Name, Literal Body, auto Implementation, class... Params>
struct Declaration<Name, Body, Implementation, ParamGroup<Params...>> {
  using Request = typename ImplementationTraits<decltype(Implementation)>::request;
  using Result = typename ImplementationTraits<decltype(Implementation)>::result;
  // The converted arguments, owned for the length of the call.
  using Values = std::tuple<typename Params::kind::Owner...>;

  static constexpr std::string_view name = Name.view();
  static constexpr std::array<std::string_view, sizeof...(Params)> parameters = {Params::name...};
  static constexpr auto docstring = make_docstring<Name, Body, Params...>();

  // Converts the bound arguments in parameter order; the first failure stops
  // the fold and gives its index, with the Python exception set. -1 when all
  // convert.
  template <class Slots>
  static std::ptrdiff_t convert(const Slots& slots, Values& values) {
    return convert(slots, values, std::index_sequence_for<Params...>{});
  }

  // Pure native work: builds the request from the values' views and runs the
  // implementation. Touches no Python object.
  static Expected<Result> call(const Values& values) { return call(values, std::index_sequence_for<Params...>{}); }

 private:
  template <class Slots, std::size_t... I>
  static std::ptrdiff_t convert([[maybe_unused]] const Slots& slots, [[maybe_unused]] Values& values,
                                std::index_sequence<I...>) {
    std::ptrdiff_t failed = -1;
    static_cast<void>(((Params::kind::convert(slots[I], std::get<I>(values)) ||
                        (failed = static_cast<std::ptrdiff_t>(I), false)) &&
                       ...));
    return failed;
  }

  template <std::size_t... I>
  static Expected<Result> call([[maybe_unused]] const Values& values, std::index_sequence<I...>) {
    return Implementation(Request(Params::kind::view(std::get<I>(values))...));
  }
};

// A function's declaration: its parameters are Params and ParamGroups, in order.
template <Literal Name, Literal Body, auto Implementation, class... ParamsAndGroups>
using Declare = Declaration<Name, Body, Implementation, typename Flatten<ParamsAndGroups...>::type>;

}  // namespace corvane::boundary
