#include "command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace cli {
namespace {

// The generated help with our own usage line(s) at its top.
class UsageFormatter : public CLI::Formatter {
 public:
  explicit UsageFormatter(std::string usage) : usage_(std::move(usage)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return usage_ + "\n"; }

 private:
  std::string usage_;
};

template <typename T, typename Read>
CLI::Option* add_number(CLI::App& app, const std::string& name, T& target, T min, T max,
                        const std::string& complaint, const std::string& help, Read read) {
  return app
      .add_option_function<std::string>(
          name,
          [&target, min, max, complaint, read](const std::string& text) {
            std::optional<T> value = read(text, min, max);
            if (!value) throw CLI::ValidationError(complaint);
            target = *value;
          },
          help)
      ->type_name(std::is_integral_v<T> ? "N" : "X")
      ->trigger_on_parse();
}

}  // namespace

std::optional<int> read_int(const std::string& text, int min, int max) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < min || v > max) return std::nullopt;
  return int(v);
}

std::optional<double> read_double(const std::string& text, double min, double max) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !std::isfinite(v) || v < min || v > max) return std::nullopt;
  return v;
}

void describe(CLI::App& app, const std::string& usage) {
  app.formatter(std::make_shared<UsageFormatter>(usage));
  app.set_help_flag("-h,--help", "show this help and exit");
  // An option given twice takes its last value, as a shell alias expects.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::optional<int> parse(CLI::App& app, std::vector<std::string> args) {
  // CLI11 takes the arguments last first.
  std::reverse(args.begin(), args.end());
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    // The library checks for missing options before unknown ones, but a
    // misspelt option explains the missing one: it is named first.
    std::vector<std::string> unknown = app.remaining(true);
    bool misspelt = dynamic_cast<const CLI::RequiredError*>(&e) && !unknown.empty();
    std::string message = misspelt ? CLI::ExtrasError(unknown).what() : e.what();
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for the usage.\n", app.get_name().c_str(), message.c_str(),
                 app.get_name().c_str());
    return USAGE_ERROR;
  }
  return std::nullopt;
}

std::optional<int> parse(CLI::App& app, int argc, char** argv) {
  return parse(app, std::vector<std::string>(argv + 1, argv + argc));
}

int refuse(const std::string& who, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", who.c_str(), message.c_str());
  return USAGE_ERROR;
}

CLI::Option* add_int(CLI::App& app, const std::string& name, int& target, int min, int max,
                     const std::string& complaint, const std::string& help) {
  return add_number(app, name, target, min, max, complaint, help, read_int);
}

CLI::Option* add_double(CLI::App& app, const std::string& name, double& target, double min, double max,
                        const std::string& complaint, const std::string& help) {
  return add_number(app, name, target, min, max, complaint, help, read_double);
}

CLI::Option* add_each(CLI::App& app, const std::string& name, std::function<void(const std::string&)> take,
                      const std::string& help) {
  return app.add_option_function<std::string>(name, std::move(take), help)
      ->allow_extra_args(false)
      ->trigger_on_parse();
}

}  // namespace cli
