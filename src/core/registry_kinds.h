// The registry kinds: each creation routine's name (the log's procedure name) and the
// notice it logs when a name already in use is taken over.
#pragma once

#include "core/registry.h"

namespace kve::core::kinds {

inline constexpr RegistryKind kShader{"KVE_CreateShaderListEntry", "Loaded double: First Shader has been released!"};
inline constexpr RegistryKind kMesh{"KVE_CreateMeshListEntry", "Loaded double: First Mesh has been released!",
                                    ResourceKind::Mesh};
inline constexpr RegistryKind kBody{"KVE_CreateBodyListEntry", "Loaded double: First Body has been released!",
                                    ResourceKind::Body};
inline constexpr RegistryKind kSound{"KVE_CreateSoundListEntry", "Loaded double: First Sound has been released!",
                                     ResourceKind::Sound};
inline constexpr RegistryKind kBillboard{"KVE_CreateBillboardListEntry",
                                         "Loaded double: First Billboard has been released!"};
inline constexpr RegistryKind kTexture{"KVE_CreateTextureListEntry",
                                       "Loaded double: First Texture has been released!", ResourceKind::Texture};
inline constexpr RegistryKind kMaterial{"KVE_CreateMaterialListEntry",
                                        "Loaded double: First Material has been released!", ResourceKind::Material};
inline constexpr RegistryKind kAnimation{"KVE_CreateAnimationListEntry",
                                         "Info: The already existing Animation has been replaced!"};
inline constexpr RegistryKind kSkeleton{"KVE_CreateSkeletonListEntry",
                                        "Info: The already existing Skeleton has been replaced!"};
inline constexpr RegistryKind kNode{"KVE_CreateNodeListEntry", "Info: The already existing Node has been replaced!"};
inline constexpr RegistryKind kObject{"KVE_CreateObjectListEntry",
                                      "Info: The already existing Object has been replaced!"};
// Kinds numbered like the others but without names or log messages (lights, joints,
// sprites, fonts, particle emitters).
inline constexpr RegistryKind kSilent{};
inline constexpr RegistryKind kFont{nullptr, nullptr, ResourceKind::Font};
inline constexpr RegistryKind kEmitter{nullptr, nullptr, ResourceKind::Emitter};

} // namespace kve::core::kinds
