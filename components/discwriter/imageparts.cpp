#include "components/discwriter/imageparts.h"

#include "platform/ownedfiles.h"
#include "platform/paths.h"

void RemoveAbandonedImageParts(const std::string& folder) {
    const std::string audio = kAudioImageName, data = kDataImageName;
    for (const std::string& name : {audio + ".bin.part", audio + ".cue.part", data + ".iso.part"})
        RemoveIfAbandoned(JoinPath(folder, name));
}
