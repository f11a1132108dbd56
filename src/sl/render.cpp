#include "sl/render.h"

namespace dovevid::sl {

std::string SelectTxtWords(const config::Settings& settings, int index, std::string_view fallback) {
  if (index < 0 || index >= config::kWords) return std::string(fallback);
  const std::string& word = settings.txtWords[static_cast<size_t>(index)];
  return word.empty() ? std::string(fallback) : word;
}

std::optional<std::string> AmountLine(std::string_view label, std::string_view amount,
                                      int width) {
  const long blanks = static_cast<long>(width) - static_cast<long>(label.size()) -
                      static_cast<long>(amount.size());
  if (blanks < 0) return std::nullopt;
  std::string line;
  line.reserve(static_cast<size_t>(width));
  line.append(label);
  line.append(static_cast<size_t>(blanks), ' ');
  line.append(amount);
  return line;
}

std::string RenderedLinesPath(const config::Directories& dirs) {
  return JoinPath(dirs.data_dir, kRenderedLinesFileName);
}

}  // namespace dovevid::sl
