#pragma once

#include "platform/base/Bundle.h"
#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// A data asset of a bundle: a resource file's bytes with its uniform type identifier,
// taken from the file's extension ("CutSound.wav" is "com.microsoft.waveform-audio"; an
// extension the system does not know gives "public.data").
class NSDataAsset {
public:
    // Nothing when the bundle has no such resource or it cannot be read. The resource is
    // the file named `name` exactly, else the first, in name order, whose name without
    // its extension is `name`.
    static std::optional<NSDataAsset> named(std::string_view name,
                                            const std::shared_ptr<const Bundle>& bundle);

    const std::string& name() const { return name_; }
    const Data& data() const { return data_; }
    const std::string& typeIdentifier() const { return typeIdentifier_; }

private:
    NSDataAsset(std::string name, Data data, std::string typeIdentifier)
        : name_(std::move(name)), data_(std::move(data)),
          typeIdentifier_(std::move(typeIdentifier)) {}

    std::string name_;
    Data data_;
    std::string typeIdentifier_;
};

} // namespace zestrel::platform
