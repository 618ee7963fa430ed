#include "components/discwriter/imageparts.h"

#include <unistd.h>

#include "components/disc/disclog.h"
#include "components/discwriter/imagefiles.h"
#include "platform/ownedfiles.h"
#include "platform/paths.h"

void ClearAbandonedPart(const std::string& path) {
    if (imagefiles::IsLink(path))
        ::unlink(path.c_str());
    else
        RemoveIfAbandoned(path);
}

void RemoveAbandonedImageParts(const std::string& folder) {
    const std::string audio = kAudioImageName, data = kDataImageName;
    for (const std::string& name : {audio + ".bin.part", audio + ".cue.part", data + ".iso.part"})
        ClearAbandonedPart(JoinPath(folder, name));
    const std::string image = JoinPath(folder, data + ".iso");
    std::string error;
    if (const PosixFile mark = MarkExistingFile(image); mark.isOpen() && !imagefiles::RestoreInterruptedAppend(image, &error))
        qCWarning(lcDisc, "%s", error.c_str());
}
