#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <limits>

namespace vantrel::cli {
namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// "--name=value" split at the first "="; a plain "--name" keeps an empty value.
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string& arg) {
  size_t equals = arg.find('=');
  if (equals == std::string::npos) return {arg, std::nullopt};
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

bool IsOption(const std::string& arg) { return arg.size() > 2 && arg.rfind("--", 0) == 0; }

// The value of a value option: inline, or the next argument.
std::optional<std::string> TakeValue(const std::vector<std::string>& args, size_t& i,
                                     const std::optional<std::string>& inlineValue) {
  if (inlineValue) return inlineValue;
  if (i + 1 >= args.size()) return std::nullopt;
  return args[++i];
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  ParsedArguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.command.insert(parsed.command.end(), args.begin() + i, args.end());
      break;
    }
    auto [name, inlineValue] = SplitOption(arg);
    if (arg == "--help" || arg == "-h") {
      parsed.options.help = true;
    } else if (arg == "--yes") {
      parsed.options.yes = true;
    } else if (name == "--home" || name == "--tape") {
      std::optional<std::string> value = TakeValue(args, i, inlineValue);
      if (!value || value->empty()) {
        parsed.error = name + " needs a " + (name == "--home" ? "directory" : "device");
        return parsed;
      }
      (name == "--home" ? parsed.options.home : parsed.options.tape) = *value;
    } else {
      parsed.command.push_back(arg);
    }
  }
  return parsed;
}

CommandArguments SplitCommandArguments(const std::vector<std::string>& args,
                                       const std::vector<std::string>& flags,
                                       const std::vector<std::string>& valueOptions) {
  CommandArguments result;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      result.operands.insert(result.operands.end(), args.begin() + i + 1, args.end());
      break;
    }
    if (!IsOption(arg)) {
      result.operands.push_back(arg);
      continue;
    }
    auto [name, inlineValue] = SplitOption(arg);
    if (Contains(flags, name) && !inlineValue) {
      result.options[name] = "";
    } else if (Contains(valueOptions, name)) {
      std::optional<std::string> value = TakeValue(args, i, inlineValue);
      if (!value) {
        result.error = name + " needs a value";
        return result;
      }
      result.options[name] = *value;
    } else {
      result.error = "unknown option " + arg;
      return result;
    }
  }
  return result;
}

Locations ResolveLocations(const GlobalOptions& options,
                           const std::map<std::string, std::string>& environment,
                           const std::string& executableDir) {
  auto fromEnvironment = [&](const char* name) -> std::optional<std::string> {
    auto it = environment.find(name);
    if (it == environment.end() || it->second.empty()) return std::nullopt;
    return it->second;
  };
  std::string home = options.home.value_or(fromEnvironment("VANTREL_HOME").value_or(executableDir));
  home = std::filesystem::absolute(home).lexically_normal().string();
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  std::string tape =
      options.tape.value_or(fromEnvironment("VANTREL_TAPE").value_or(home + "/vtape"));
  return {home, tape};
}

std::optional<int64_t> ParseByteCount(const std::string& text) {
  static const std::string kUnits = "KMGT";
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 19) return std::nullopt;
  int shift = 0;
  if (digits < text.size()) {
    size_t unit = kUnits.find(static_cast<char>(std::toupper(text[digits])));
    if (digits + 1 != text.size() || unit == std::string::npos) return std::nullopt;
    shift = 10 * static_cast<int>(unit + 1);
  }
  uint64_t value = std::stoull(text.substr(0, digits));
  if (value == 0 || value > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) >> shift)) {
    return std::nullopt;
  }
  return static_cast<int64_t>(value << shift);
}

}  // namespace vantrel::cli
