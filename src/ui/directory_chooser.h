#pragma once

#include <QString>

#include <optional>

namespace velmora {

// The modal directory chooser: titled "选择目录", one directory, no files. Returns the chosen
// directory's path, or nothing when the user cancels.
class DirectoryChooser {
public:
    virtual ~DirectoryChooser() = default;
    [[nodiscard]] virtual std::optional<QString> chooseDirectory() = 0;
};

} // namespace velmora
