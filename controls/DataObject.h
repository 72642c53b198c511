// The data object of the host's drag-and-drop notifications (the OLE*
// events of the skinned controls). The control host has no drag and drop,
// so those events are declared for the components' interface and never
// raised; the type stays incomplete.
#pragma once

namespace pd::controls {

struct DataObject;

}  // namespace pd::controls
