#pragma once
// Where the receiver hands each image it acknowledges: the node's inbox. A C-STORE is answered
// Success only once admit has kept the image's header on the disk; notify then says that an image
// waits to be processed. The service's inbox passes both on to the image processor and its
// processing thread (node/nodeservice.cpp).

#include "textio/expected.h"

#include <string>

namespace tamso::node {

class ImageInbox {
public:
    virtual ~ImageInbox() = default;
    // Keeps a header (a DICOM file's bytes, headerOnlyCopy) on the disk and returns its inbox name.
    // Called from several threads at once.
    virtual Expected<std::string> admit(const std::string& headerBytes) = 0;
    // An admitted image waits.
    virtual void notify() = 0;
};

} // namespace tamso::node
