// Nodes: empty placeholders in the scene that other items hang from.
#pragma once

#include "kve.h"

namespace kve::scene {

KVE_NODE* findNode(int number);
void releaseNodes(); // every node, at shutdown

} // namespace kve::scene
