/*
 * Korvane Engine: the public interface.
 *
 * The engine is a library of process-wide operations that one application drives from
 * one thread. Everything an application may use is declared here, grouped by subsystem.
 * The interface is plain C: numbers and flags are 32-bit ints, angles are degrees, times
 * are seconds (float) or milliseconds (int). Resources are named by numbers: 0..65535
 * are chosen by the application, -1 asks for an automatic number (0x10000 or more).
 * Optional arguments take a null pointer or the default marker KVE_DEFAULT (-65535).
 * Failures return 0 / a null pointer and write a red entry to "KVE LogFile.html".
 *
 * Sections:
 *   1. Constants and shared types      7. Meshes
 *   2. Log                             8. Scene: items, camera, lights
 *   3. Engine start-up and frames      9. Renderer: uniform blocks, frame, 2D, lines
 *   4. Input                          10. Physics
 *   5. Math                           11. Particles
 *   6. Definition files, shaders,     12. Sound
 *      textures, materials            13. Billboards, skeletons, animations
 */
#ifndef KVE_H
#define KVE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ========================================================================== */
/* 1. Constants and shared types                                              */
/* ========================================================================== */

#define KVE_DEFAULT (-65535)          /* integer default marker (0xFFFF0001) */
#define KVE_DEFAULT_FLOAT (-65535.0f) /* float default marker */
#define KVE_AUTO_ID (-1)              /* ask a creation routine for an automatic number */
#define KVE_VERSION_TEXT "0.3.0.g (2014-12-14)"

/* Four floats; a position has w = 1, a direction w = 0. 16 bytes, no alignment needed. */
typedef struct KVE_Vector {
    float x, y, z, w;
} KVE_Vector;

/* Column-major 4x4 matrix: c[0]..c[3] are the columns, c[3] holds the translation. */
typedef struct KVE_Matrix {
    KVE_Vector c[4];
} KVE_Matrix;

/* Rotation quaternion, scalar part w last; identity is (0, 0, 0, 1). */
typedef struct KVE_Quaternion {
    float x, y, z, w;
} KVE_Quaternion;

/* A packed colour is a 32-bit int 0xAABBGGRR: red in the lowest byte. */

/* ========================================================================== */
/* 2. Log                                                                     */
/* ========================================================================== */

/* Log column flags: which optional cells each entry row carries. */
#define KVE_LOG_TIME 1
#define KVE_LOG_UNIT 2
#define KVE_LOG_PROCEDURE 4
#define KVE_LOG_LINE 8

/* Entry colours used by the engine (0xAABBGGRR; the alpha byte is never written). */
#define KVE_LOG_RED 0xFF0000FF
#define KVE_LOG_BLUE 0xFFFF0000
#define KVE_LOG_GREEN 0xFF00FF11
#define KVE_LOG_GREY 0x00404040
#define KVE_LOG_MESH_GREY 0xFF545454
#define KVE_LOG_BLACK 0x00000000
#define KVE_LOG_SECTION_BLUE 0x00D06600

int KVE_OpenLogFile(const char* fileName, int headerFlag, int createFlag); /* 1 when a file is open */
void KVE_SetLogColumns(int columnFlags);                                    /* KVE_LOG_* bit set */
void KVE_BeginLogSection(const char* title, int color);                     /* nested, titled table */
void KVE_EndLogSection(void);                                               /* closes the innermost section */
void KVE_WriteLogEntry(const char* message, int color, int sourceLine, int reserved, const char* sourceUnit,
                       const char* procedure); /* one table row, flushed at once */
void KVE_WriteLogBreak(void);                  /* "<br>" */

/* ========================================================================== */
/* 3. Engine start-up and frames                                              */
/* ========================================================================== */

/* Opens a centred application window with a title bar and sizing border; returns its
 * number (1 or more), 0 on failure. `hidden` 1 keeps it off screen (tests). */
int KVE_OpenWindow(const char* title, int clientWidth, int clientHeight, int hidden);
void KVE_GetWindowClientSize(int window, int* width, int* height); /* pixels */
/* Gives the window its drawing surface (the rectangle x, y, width, height) and an
 * OpenGL 3.3 context, then starts the engine. Returns the surface number, 0 on failure. */
int KVE_OpenScreen(int window, int x, int y, int width, int height, int bitDepth);
int KVE_Init(void);             /* run by KVE_OpenScreen; 0 */
void KVE_LoadGLFunctions(void); /* fills the OpenGL function table */
void KVE_LoadWGLExtensions(void);  /* fills the platform's context extension table */
int KVE_GetMissingGLFunctions(void); /* required (<= 3.3) entries the driver lacks */
void KVE_SetSwapInterval(int interval); /* 0 = no wait for the retrace, 1 = wait */
int KVE_GetSwapInterval(void);
void KVE_ShowLogo(int show);                     /* draw the logo badge at every flip */
void KVE_SetBlendFunc(int source, int destination); /* GL blend factors, remembered */
void KVE_Shutdown(void);                         /* releases everything, closes the window */
int KVE_GetScreenWidth(void);                    /* pixels */
int KVE_GetScreenHeight(void);                   /* pixels */
/* Gives the drawing surface a new size: every screen-sized render target, the screen
 * quads, the viewport, the projection's aspect and the 2D matrix follow. A width or
 * height of 0 (a minimised window) keeps the targets and makes KVE_RenderScene draw
 * nothing until a real size comes back. KVE_PeekMessage calls it on KVE_WM_SIZE.
 * Returns 0 (and logs) for a size beyond the largest render target the driver allows. */
int KVE_ResizeScreen(int width, int height);
int KVE_SaveScreenshot(const char* fileName);    /* PNG of the default framebuffer; 1 on success */
void KVE_KeepPresentedFrame(int keep);           /* 1: every flip keeps a copy of the frame it presents */
int KVE_SavePresentedFrame(const char* fileName); /* PNG of the last kept frame; 0 if none or not written */
const char* KVE_GetExecutableDirectory(void);    /* the running program's directory, ending in a separator */

int KVE_FlipBuffers(void);    /* ends the frame: logo, timing, buffer swap; 0 */
float KVE_GetFrameTime(void); /* seconds between the last two flips (0 after the first) */
float KVE_GetFPS(void);       /* frames per second over the last half-second window */
int KVE_GetMilliseconds(void); /* engine clock in milliseconds */
/* Fixes the frame time to `seconds` at every flip (scripted runs); 0 returns to the clock. */
void KVE_SetFixedFrameTime(float seconds);
/* Test hook: when not null, the flip reads this counter instead of the platform's. */
void KVE_SetCounterSource(uint64_t (*counter)(void), uint64_t frequency);

/* Resource reload. With watching on, the files resources were loaded from (definition
 * files and the textures, materials, sounds and emitters they define, images, mesh, OBJ
 * and body files, fonts, sound clips) are watched, and every flip reloads the resources
 * of files that changed, in place: numbers, names and every reference to a resource stay.
 * A file is read once it has been quiet for 0.1 s; one that fails to load (cut short,
 * broken) leaves the old resource as it was and writes a red entry. */
void KVE_SetResourceWatching(int watch); /* 1: watch and reload at every flip; 0: off (the default) */
int KVE_ReloadChangedResources(void);   /* reloads what changed now (watching on); resources reloaded */

/* ========================================================================== */
/* 4. Input                                                                   */
/* ========================================================================== */

/* Engine message kinds (the classic desktop numbering). */
#define KVE_WM_SIZE 0x0005
#define KVE_WM_CLOSE 0x0010
#define KVE_WM_ERASEBKGND 0x0014
#define KVE_WM_GETMINMAXINFO 0x0024
#define KVE_WM_NCLBUTTONDBLCLK 0x00A3
#define KVE_WM_KEYDOWN 0x0100
#define KVE_WM_KEYUP 0x0101
#define KVE_WM_CHAR 0x0102
#define KVE_WM_SYSCOMMAND 0x0112
#define KVE_WM_MOUSEMOVE 0x0200
#define KVE_WM_LBUTTONDOWN 0x0201
#define KVE_WM_LBUTTONUP 0x0202
#define KVE_WM_LBUTTONDBLCLK 0x0203
#define KVE_WM_RBUTTONDOWN 0x0204
#define KVE_WM_RBUTTONUP 0x0205
#define KVE_WM_RBUTTONDBLCLK 0x0206
#define KVE_WM_MBUTTONDOWN 0x0207
#define KVE_WM_MBUTTONUP 0x0208
#define KVE_WM_MBUTTONDBLCLK 0x0209
#define KVE_WM_MOUSEWHEEL 0x020A
#define KVE_WM_MOUSELEAVE 0x02A3

/* System commands carried in KVE_WM_SYSCOMMAND's wParam (its low four bits are ignored). */
#define KVE_SC_MINIMIZE 0xF020
#define KVE_SC_MAXIMIZE 0xF030
#define KVE_SC_RESTORE 0xF120
#define KVE_SC_SCREENSAVE 0xF140
#define KVE_SC_MONITORPOWER 0xF170

/* KVE_WM_SIZE's wParam; its lParam holds the client width (low 16 bits) and height. */
#define KVE_SIZE_RESTORED 0
#define KVE_SIZE_MINIMIZED 1

/* One wheel notch in the signed high 16 bits of KVE_WM_MOUSEWHEEL's wParam. */
#define KVE_WHEEL_DELTA 120

/* Mouse buttons as the KVE_Mouse* readers number them. */
#define KVE_MOUSE_LEFT 1
#define KVE_MOUSE_RIGHT 2
#define KVE_MOUSE_MIDDLE 4

/* Virtual-key codes (the classic desktop numbering). Letters and digits are their
 * upper-case ASCII codes: 'A' (0x41) to 'Z', '0' (0x30) to '9'. */
#define KVE_VK_BACK 0x08
#define KVE_VK_TAB 0x09
#define KVE_VK_RETURN 0x0D
#define KVE_VK_SHIFT 0x10   /* either Shift key */
#define KVE_VK_CONTROL 0x11 /* either Ctrl key */
#define KVE_VK_MENU 0x12    /* either Alt key */
#define KVE_VK_PAUSE 0x13
#define KVE_VK_CAPITAL 0x14 /* Caps Lock */
#define KVE_VK_ESCAPE 0x1B
#define KVE_VK_SPACE 0x20
#define KVE_VK_PRIOR 0x21 /* Page Up */
#define KVE_VK_NEXT 0x22  /* Page Down */
#define KVE_VK_END 0x23
#define KVE_VK_HOME 0x24
#define KVE_VK_LEFT 0x25
#define KVE_VK_UP 0x26
#define KVE_VK_RIGHT 0x27
#define KVE_VK_DOWN 0x28
#define KVE_VK_SELECT 0x29
#define KVE_VK_EXECUTE 0x2B
#define KVE_VK_SNAPSHOT 0x2C /* Print Screen */
#define KVE_VK_INSERT 0x2D
#define KVE_VK_DELETE 0x2E
#define KVE_VK_HELP 0x2F
#define KVE_VK_LWIN 0x5B
#define KVE_VK_RWIN 0x5C
#define KVE_VK_APPS 0x5D /* context-menu key */
#define KVE_VK_SLEEP 0x5F
#define KVE_VK_NUMPAD0 0x60 /* to KVE_VK_NUMPAD0 + 9 */
#define KVE_VK_MULTIPLY 0x6A
#define KVE_VK_ADD 0x6B
#define KVE_VK_SEPARATOR 0x6C
#define KVE_VK_SUBTRACT 0x6D
#define KVE_VK_DECIMAL 0x6E
#define KVE_VK_DIVIDE 0x6F
#define KVE_VK_F1 0x70 /* to KVE_VK_F1 + 23 (F24) */
#define KVE_VK_NUMLOCK 0x90
#define KVE_VK_SCROLL 0x91
#define KVE_VK_LSHIFT 0xA0
#define KVE_VK_RSHIFT 0xA1
#define KVE_VK_LCONTROL 0xA2
#define KVE_VK_RCONTROL 0xA3
#define KVE_VK_LMENU 0xA4
#define KVE_VK_RMENU 0xA5
#define KVE_VK_BROWSER_BACK 0xA6
#define KVE_VK_BROWSER_FORWARD 0xA7
#define KVE_VK_BROWSER_REFRESH 0xA8
#define KVE_VK_BROWSER_STOP 0xA9
#define KVE_VK_BROWSER_SEARCH 0xAA
#define KVE_VK_BROWSER_FAVORITES 0xAB
#define KVE_VK_BROWSER_HOME 0xAC
#define KVE_VK_VOLUME_MUTE 0xAD
#define KVE_VK_VOLUME_DOWN 0xAE
#define KVE_VK_VOLUME_UP 0xAF
#define KVE_VK_MEDIA_NEXT_TRACK 0xB0
#define KVE_VK_MEDIA_PREV_TRACK 0xB1
#define KVE_VK_MEDIA_STOP 0xB2
#define KVE_VK_MEDIA_PLAY_PAUSE 0xB3
#define KVE_VK_LAUNCH_MAIL 0xB4
#define KVE_VK_LAUNCH_MEDIA_SELECT 0xB5
#define KVE_VK_LAUNCH_APP1 0xB6 /* usually the computer / file manager key */
#define KVE_VK_LAUNCH_APP2 0xB7 /* usually the calculator key */
#define KVE_VK_OEM_1 0xBA      /* ;: on a US layout */
#define KVE_VK_OEM_PLUS 0xBB   /* =+ */
#define KVE_VK_OEM_COMMA 0xBC  /* ,< */
#define KVE_VK_OEM_MINUS 0xBD  /* -_ */
#define KVE_VK_OEM_PERIOD 0xBE /* .> */
#define KVE_VK_OEM_2 0xBF      /* /? */
#define KVE_VK_OEM_3 0xC0      /* `~ */
#define KVE_VK_OEM_4 0xDB      /* [{ */
#define KVE_VK_OEM_5 0xDC      /* \| */
#define KVE_VK_OEM_6 0xDD      /* ]} */
#define KVE_VK_OEM_7 0xDE      /* '" */
#define KVE_VK_OEM_102 0xE2    /* the extra key beside left Shift on ISO keyboards */

/* One window message: kind and its two parameter words. */
typedef struct KVE_MESSAGE {
    uint32_t message;
    uint32_t wParam;
    int32_t lParam;
} KVE_MESSAGE;

/* Takes the next window event, hands it to KVE_HandleMessage and returns 1 with the
 * message (0 when none is waiting). Keys arrive as virtual-key codes; a left or right
 * Shift, Ctrl or Alt key reports its own code and, when it is the first of the pair to go
 * down or the last to come up, the generic code too (KVE_VK_SHIFT, ...). Auto-repeat
 * sends no further key-down. The application leaves its loop on KVE_WM_CLOSE. */
int KVE_PeekMessage(KVE_MESSAGE* message);
/* The engine's message handler: records key, character, button, wheel and mouse
 * position messages into the raw input state. Returns 1 when the message is swallowed,
 * 0 when it goes on to default processing. Scripted input is fed through it as well. */
int KVE_HandleMessage(uint32_t message, uint32_t wParam, int32_t lParam);

/* Snapshots: once per frame, before reading. */
void KVE_UpdateKeyboard(void); /* copies the raw keys and character, clears hits and releases */
void KVE_UpdateMouse(void);    /* movement since the last snapshot; re-centres a locked mouse */
void KVE_ResetMouse(void);     /* clears clicks and wheel, takes the position with no movement */

int KVE_KeyHit(int key);         /* 1 if the key went down before the last snapshot */
int KVE_KeyDown(int key);        /* 1 while held */
int KVE_KeyReleased(int key);    /* 1 if it came up before the last snapshot */
int KVE_GetLastCharacter(void);  /* low byte of the last character, 0 if none */
int KVE_MouseHit(int button);    /* button KVE_MOUSE_*: 1, 2 or 4; 0 for any other */
int KVE_MouseDown(int button);
int KVE_MouseReleased(int button);
int KVE_MouseX(void);     /* client pixels */
int KVE_MouseY(void);     /* client pixels */
int KVE_MouseDX(void);    /* pixels moved since the previous snapshot */
int KVE_MouseDY(void);
int KVE_MouseWheel(void); /* notches turned since the previous snapshot, forward positive */
int KVE_MouseInRect(int x, int y, int width, int height); /* 1 if x <= mouse x < x + width, same for y */
int KVE_MouseInCircle(int x, int y, float radius);        /* 1 if strictly inside */

/* Cursor. `cursorVisible` 1 shows the cursor, 0 hides it. A locked mouse goes back to
 * the centre of the surface at every KVE_UpdateMouse, so movement is measured from there. */
void KVE_LockMouse(int cursorVisible);
void KVE_UnlockMouse(int cursorVisible);
void KVE_ClipMouse(int cursorVisible);    /* confines the cursor to the surface's rectangle */
void KVE_SetMousePosition(int x, int y);  /* client pixels; the snapshot follows the next message */

/* Joysticks: up to 16, numbered 0 .. count - 1 in the order they were found. */
#define KVE_MAX_JOYSTICKS 16
#define KVE_JOY_AXIS_X 0 /* axes X, Y, Z, R, U, V are 0 .. 5 */
#define KVE_JOY_AXIS_Y 1
#define KVE_JOY_AXIS_Z 2
#define KVE_JOY_AXIS_R 3
#define KVE_JOY_AXIS_U 4
#define KVE_JOY_AXIS_V 5
#define KVE_JOY_BUTTON_DOWN 1     /* button state bits */
#define KVE_JOY_BUTTON_HELD 2     /* down for longer than the double-click time (500 ms) */
#define KVE_JOY_BUTTON_PRESSED 4  /* went down in the last poll */
#define KVE_JOY_BUTTON_RELEASED 8 /* came up in the last poll */

void KVE_InitJoysticks(void);    /* finds the joysticks (run by KVE_Init) */
void KVE_UpdateJoysticks(void);  /* polls every joystick found */
int KVE_GetJoystickCount(void);
void KVE_SetJoystickDeadZone(int joystick, int axis, float deadZone); /* |value| below it reads 0 */
float KVE_GetJoystickAxis(int joystick, int axis);  /* -1 .. 1; 0 for an axis the device lacks */
int KVE_GetJoystickButton(int joystick, int button); /* button 0 .. 15: KVE_JOY_BUTTON_* bits */
float KVE_GetJoystickPOV(int joystick);  /* hat in degrees: 0 centred, 360 ahead, 90 right ... */
const char* KVE_GetJoystickName(int joystick); /* product name, "" if none */

/* ========================================================================== */
/* 5. Math                                                                    */
/* ========================================================================== */

/* Every operation works in place on its first argument unless it names a separate
 * output, and returns that output. Vectors, matrices and quaternions need no alignment.
 * Addition and subtraction keep w a point/direction flag: point + direction = point,
 * point - point = direction, point - direction = point. */
KVE_Vector* KVE_SetVector(KVE_Vector* v, float x, float y, float z, float w);             /* v := (x, y, z, w) */
KVE_Quaternion* KVE_SetQuaternion(KVE_Quaternion* q, float x, float y, float z, float w); /* q := (x, y, z, w) */
KVE_Vector* KVE_AddVector(KVE_Vector* a, const KVE_Vector* b);    /* a.xyz += b.xyz; w := aw + bw - aw*bw */
KVE_Vector* KVE_AddVectorXYZ(KVE_Vector* a, const KVE_Vector* b); /* a.xyz += b.xyz; w unchanged */
KVE_Vector* KVE_SubVector(KVE_Vector* out, const KVE_Vector* a,
                          const KVE_Vector* b); /* out.xyz := a.xyz - b.xyz; w := aw + bw - 2*aw*bw */
KVE_Vector* KVE_AddScaledVector(KVE_Vector* a, const KVE_Vector* b, float s); /* a.xyz += s * b.xyz */
KVE_Vector* KVE_ScaleVector(KVE_Vector* a, float s);                         /* a.xyz *= s */
KVE_Vector* KVE_NegateVector(KVE_Vector* a);                                 /* a.xyz := -a.xyz */
float KVE_DotVector(const KVE_Vector* a, const KVE_Vector* b); /* xyz dot product; b null: squared length */
KVE_Vector* KVE_NormalizeVector(KVE_Vector* a); /* unit direction, w 0; a zero vector becomes (0, 0, 0, 0) */
KVE_Vector* KVE_TransformVector(KVE_Vector* v, const KVE_Matrix* m); /* v := M v (w 1 moves, w 0 turns) */
KVE_Matrix* KVE_MultiplyMatrix(KVE_Matrix* out, const KVE_Matrix* a,
                               const KVE_Matrix* b); /* out := A B; out may be A or B */
KVE_Matrix* KVE_IdentityMatrix(KVE_Matrix* m);
KVE_Matrix* KVE_InvertMatrix(KVE_Matrix* m); /* m := m^-1; a singular m is left unchanged */
KVE_Matrix* KVE_CopyInvertMatrix(KVE_Matrix* out, const KVE_Matrix* m); /* out := m^-1 (a singular m: copied) */
KVE_Quaternion* KVE_MultiplyQuaternion(KVE_Quaternion* p, const KVE_Quaternion* q); /* p := p (x) q, Hamilton */
KVE_Quaternion* KVE_MultiplyQuaternionTo(KVE_Quaternion* out, const KVE_Quaternion* p,
                                         const KVE_Quaternion* q); /* out := p (x) q; out may be p or q */
KVE_Quaternion* KVE_ConjugateQuaternion(KVE_Quaternion* q); /* q := (-x, -y, -z, w), the inverse of a unit q */
/* Rotation by ax about X, then ay about Y, then az about Z (= qz (x) qy (x) qx); degrees
 * unless `radians` is 1. */
KVE_Quaternion* KVE_EulerToQuaternion(KVE_Quaternion* out, float ax, float ay, float az, int radians);
KVE_Matrix* KVE_QuaternionToMatrix(const KVE_Quaternion* q, KVE_Matrix* out); /* rotation of a unit q */
/* World matrix of a camera at `eye` looking toward `target` (its inverse is the view
 * matrix): columns s, u, -f and eye with f = |target - eye|, s = |f x up|, u = s x f. */
KVE_Matrix* KVE_LookAtMatrix(KVE_Matrix* out, const KVE_Vector* eye, const KVE_Vector* target,
                             const KVE_Vector* up);
KVE_Vector* KVE_ColorToVector(KVE_Vector* out, int color); /* 0xAABBGGRR / 255; alpha 0 reads as 255 */
int KVE_VectorToColor(const KVE_Vector* v); /* each component clamped to 0..1, x 255 rounded; red lowest */
float KVE_MaxOf3(float a, float b, float c);

/* Temporary vectors for nested expressions: a per-thread stack of 128. A thread's pool
 * starts with no slot free; KVE_Init frees all 128 of its thread's pool. An operation
 * that takes temporaries releases them before it returns. */
KVE_Vector* KVE_TakeTempVector(float x, float y, float z, float w); /* next free slot, filled; null when empty */
void KVE_ReleaseTempVectors(int count); /* gives back the `count` latest taken (at most all taken) */
KVE_Vector* KVE_PeekTempVector(int k);  /* the slot taken k takes ago (0 = latest); null if none */
void KVE_ResetTempVectors(void);        /* frees all 128 slots of the calling thread's pool */

/* ========================================================================== */
/* 6a. Definition files                                                       */
/* ========================================================================== */

/* A node of a parsed definition tree (name, value, ordered children). Trees stay in the
 * engine's list until freed. Texts returned by the readers below (values, directories)
 * belong to the tree and stay valid until their node or its tree is freed; a default
 * text passed in is returned as it was given. Lookup paths use '\' ("\File" is a direct
 * child, "Emission\Size" searches the whole subtree); file paths accept '\' and '/'. */
typedef struct DefinitionNode DefinitionNode;

/* Kind mask bits of KVE_ParseDefinitionFiles and KVE_LoadDefinitionNode. */
#define KVE_DEFINITION_TEXTURE 1
#define KVE_DEFINITION_MATERIAL 2
#define KVE_DEFINITION_SOUND 8
#define KVE_DEFINITION_ALL 15

/* Parses a file, every entry of a directory, or the entries of a directory that match a
 * pattern with '*' and '?' in its file part (matching sub-directories are walked whole),
 * and loads their Texture, Material and Sound blocks whose bits are in `kindMask`. */
void KVE_ParseDefinitionFiles(const char* path, int kindMask);
DefinitionNode* KVE_ReadDefinitionFile(const char* path); /* root, or null when unreadable; becomes current */
/* Parses text (up to its NUL) into a new root whose directory is `directory` with one
 * trailing separator. Null only when memory runs out or the text exceeds 2 GiB. */
DefinitionNode* KVE_ParseDefinitionText(const char* text, const char* directory);
/* Hands the node, or every Texture/Material/Sound block below it, to its kind's loader;
 * returns the last loader's result, null when none was called. */
void* KVE_LoadDefinitionNode(DefinitionNode* node, int kindMask);
/* The node `path` reaches from `start` whose value equals `value` (null or "" = any);
 * with no such node, `start` when `fallback` is 1, else null. */
DefinitionNode* KVE_FindDefinitionNode(DefinitionNode* start, const char* path, const char* value, int fallback);
const char* KVE_GetDefinitionString(const DefinitionNode* node, const char* defaultText); /* value, or the default */
/* true/enable 1, false/disable/none 0, default -1 (any case), else decimal, $hex or %binary. */
int KVE_GetDefinitionInteger(const DefinitionNode* node, int defaultValue);
float KVE_GetDefinitionFloat(const DefinitionNode* node, float defaultValue); /* '.' decimal point, any locale */
/* A list fills x, y, z (a missing element keeps out's component); a single number v gives
 * (0, 0, -v); no node gives (x, y, z). out->w is never touched. */
void KVE_GetDefinitionVector(const DefinitionNode* node, KVE_Vector* out, float x, float y, float z);
/* out[0..1] = lower, upper; no node: (min, max), a max of KVE_DEFAULT_FLOAT means min. */
void KVE_GetDefinitionRange(const DefinitionNode* node, float* out, float min, float max);
/* Packed colour (red in the lowest byte); `out` (4 floats 0..1, may be null) gets the
 * components. A list is r, g, b[, a] as bytes 0..255, or as 0..1 floats when written with
 * a '.'; a single value is a packed integer ("$0000FF" is opaque red). */
int KVE_GetDefinitionColor(const DefinitionNode* node, float* out, int defaultColor);
const char* KVE_GetDefinitionDirectory(const DefinitionNode* node); /* directory of the node's file, "" if none */
DefinitionNode* KVE_GetDefinitionChild(const DefinitionNode* node, int index); /* -1 is the last child */
DefinitionNode* KVE_NextDefinitionSibling(const DefinitionNode* node);         /* null after the last */
int KVE_CountDefinitionChildren(const DefinitionNode* node, const char* name); /* null or "" counts all */
/* Frees the whole tree (wholeTree 1, or a root) and returns null, or frees one node with
 * its subtree, takes it out of its parent and returns the parent. */
DefinitionNode* KVE_FreeDefinition(DefinitionNode* node, int wholeTree);
void KVE_FreeCurrentDefinition(void); /* frees the tree read last by KVE_ReadDefinitionFile */

/* ========================================================================== */
/* 6b. Shader programs                                                        */
/* ========================================================================== */

/* Uniform type codes of KVE_AddShaderUniform; codes that share a list share a row. */
#define KVE_UNIFORM_BOOL 0    /* integer list */
#define KVE_UNIFORM_INT 1     /* integer list */
#define KVE_UNIFORM_SAMPLER 2 /* sampler list */
#define KVE_UNIFORM_UINT 3    /* integer list */
#define KVE_UNIFORM_FLOAT 4   /* float list */
#define KVE_UNIFORM_VEC2 5    /* vec2/vec3 list */
#define KVE_UNIFORM_VEC3 6    /* vec2/vec3 list */
#define KVE_UNIFORM_VEC4 7    /* vec4 list */
#define KVE_UNIFORM_MAT3 8    /* mat3 list */
#define KVE_UNIFORM_MAT4 9    /* mat4 list */

/* One registered plain uniform: GL location and a byte range user code may attach. */
typedef struct ShaderUniform {
    int location; /* from glGetUniformLocation on the first program; -1 when inactive */
    int count;    /* array count, 1 in every registration the engine makes */
    int start;    /* offset given at registration */
    int end;      /* offset + size */
} ShaderUniform;

typedef struct ShaderUniformTables ShaderUniformTables; /* engine-internal */

/* A shader program record of the shader registry. */
typedef struct ShaderProgram {
    int number;                  /* registry number: 0..65535, or automatic (0x10000 or more) */
    const char* name;            /* "" when unnamed; prefixes the program's log lines */
    int queue;                   /* shader queue it was last appended to; -1 before that */
    int flag;                    /* creation flag: 0/1 standard bindings, 2 with vPosition */
    int kind;                    /* built-in program kind, 0 until set */
    unsigned int program;        /* GL program object */
    unsigned int secondProgram;  /* optional second GL program object, 0 when none */
    ShaderUniformTables* uniforms; /* registration tables, owned by the engine */
} ShaderProgram;

/* Registry entry only (no GL objects). `id` in: wanted number or -1; out: number given. */
ShaderProgram* KVE_CreateShaderListEntry(int* id, int flag, const char* name);
/* Registry entry with its GL program (and a second one when `withSecondProgram`). */
ShaderProgram* KVE_CreateShader(int id, int flag, const char* name, int withSecondProgram);
ShaderProgram* KVE_GetShader(int shader); /* number or automatic number; null when none */
/* Compile a stage from a file and attach it to the program; 1 when the file was read. */
int KVE_LoadVertexShader(int shader, const char* fileName);
int KVE_LoadFragmentShader(int shader, const char* fileName);
/* Compile a stage from the text [start, end) and attach it (to the second program when
 * `toSecondProgram`); 0. */
int KVE_CatchVertexShader(int shader, const char* start, const char* end, int toSecondProgram);
int KVE_CatchFragmentShader(int shader, const char* start, const char* end, int toSecondProgram);
/* "Compiling successfull!" or the driver's info log (at most 16383 bytes); valid until
 * the next call. */
const char* KVE_GetShaderCompileLog(unsigned int shaderObject);
int KVE_LinkShader(int shader); /* standard bindings by the record's flag, then link; 0 */
void KVE_BindShaderNormal(int shader);    /* "vNormal" at attribute 1 (before linking) */
void KVE_BindShaderTexCoord0(int shader); /* "vTexCoord0" at 2 */
void KVE_BindShaderTexCoord1(int shader); /* "vTexCoord1" at 3 */
void KVE_BindShaderColor(int shader);     /* "vColor" at 4 */
void KVE_BindShaderTangent(int shader);   /* "vTangent" at 6 */
void KVE_BindShaderSize(int shader);      /* "fSize" at 8 */
/* Binds the named block to binding point `blockNumber` and that point to its uniform
 * buffer (0..4: Projection, Model, Material, Light, Misc); 0. */
int KVE_BindShaderBlock(int shader, const char* blockName, int blockNumber);
/* Registers a plain uniform under `index` (KVE_UNIFORM_* code); its location, or 0 for
 * an unknown code (nothing registered). */
int KVE_AddShaderUniform(int shader, int type, const char* name, int index, int toSecondProgram, int size,
                         int offset, int count);
int KVE_SetShaderUniformRange(int shader, int index, int size, int offset, int count); /* 0 */
int KVE_GetShaderUniformOffset(int shader, int index); /* bytes; 0 when not registered */
int KVE_GetShaderUniformSize(int shader, int index);   /* bytes; 0 when not registered */
int KVE_GetUniformLocation(unsigned int program, const char* name); /* glGetUniformLocation */
int KVE_SetShaderKind(int shader, int kind);                       /* 0 */
/* Appends the program to shader queue `queue` (0..7); 1 when appended, 0 when it was
 * already there or the queue does not exist. */
int KVE_QueueShader(int queue, ShaderProgram* shader);
int KVE_ReleaseShader(int shader); /* GL objects, registry slot, name, queue entry; 0 */
/* Builds a program from two GLSL texts, reading attribute and output locations, the
 * engine's uniform blocks and the plain uniforms out of their declarations; stores it as
 * the built-in program of `kind` and appends it to `queue` (-1: none). */
ShaderProgram* KVE_BuildReflectedShader(int kind, int flag, int queue, const char* vertexStart,
                                        const char* vertexEnd, const char* fragmentStart,
                                        const char* fragmentEnd, const char* name);

/* ========================================================================== */
/* 6c. Textures                                                               */
/* ========================================================================== */

/* GL values the texture operations take and report. */
#define KVE_GL_NEAREST 0x2600
#define KVE_GL_LINEAR 0x2601
#define KVE_GL_TEXTURE_2D 0x0DE1
#define KVE_GL_TEXTURE_CUBE_MAP 0x8513

typedef struct KVE_TEXTURE KVE_TEXTURE; /* a GL texture in the texture registry */
typedef struct KVE_IMAGE KVE_IMAGE;     /* a decoded image in the image registry */

/* Textures. `filter` is a GL filter for minification and magnification, or KVE_DEFAULT
 * for the default texture filter; `mipmaps` is the highest mipmap level (0: none). A
 * `texture` argument is a number (0..65535) or an automatic number. Loaders return the
 * record, or null after a red log entry; a file that cannot be decoded leaves any
 * texture already registered under the same name or number untouched. */
KVE_TEXTURE* KVE_CreateTextureListEntry(int* id, const char* name); /* id in: wanted or -1; out: given */
KVE_TEXTURE* KVE_LoadTextureFile(int id, const char* fileName, int filter, int mipmaps,
                                 const char* name); /* PNG or JPEG; empty name: the file part */
/* A Texture block (the first "Texture" node with that value below `node`, else `node`
 * itself): "\Filter" LINEAR or NEAREST, "\Mipmaps", "\File" relative to the definition's
 * directory; a ".kvt" file is the engine's raw RGB format. */
KVE_TEXTURE* KVE_LoadTextureDefinition(int id, DefinitionNode* node, const char* name);
KVE_TEXTURE* KVE_CatchTexture(int id, const void* data, int size, int filter,
                              const char* name); /* an image file held in memory; no mipmaps */
/* Six image files in memory, faces +X, -X, +Y, -Y, +Z, -Z; all square and of one size. */
KVE_TEXTURE* KVE_CatchCubeMapTexture(int id, const void* const faces[6], const int sizes[6], int filter,
                                     int mipmaps, const char* name);
/* Uploads an image to the bound texture: target 0 = GL_TEXTURE_2D (with a layer other than
 * KVE_DEFAULT: that layer of the bound GL_TEXTURE_2D_ARRAY), else a cube face target. */
void KVE_UploadTextureImage(int image, int target, int layer);
KVE_TEXTURE* KVE_GetTexture(int texture);               /* null when there is none */
int KVE_GetTextureNumber(const KVE_TEXTURE* texture);   /* its number; -1 for null */
int KVE_ReleaseTexture(int texture);                    /* 0; empties material slots naming it */
/* Level 0 (the +X face of a cube map) as a 32-bit image: a new one for image -1, else
 * under that number; rows bottom to top when flip is 1. Null when there is none. */
KVE_IMAGE* KVE_GetTextureImage(int texture, int image, int flip);
void KVE_SetTextureFilter(int filter); /* the default texture filter (GL_LINEAR at start) */
int KVE_GetTextureFilter(void);
const char* KVE_GetTextureName(int texture);  /* "" when there is none */
int KVE_GetTextureWidth(int texture);         /* pixels */
int KVE_GetTextureHeight(int texture);        /* pixels */
unsigned KVE_GetTextureObject(int texture);   /* the GL texture object */
void KVE_SetTextureRectangle(int texture, int x, int y, int width,
                             int height); /* part to draw; width/height -1: the texture's */
unsigned char* KVE_CopyTexturePixels(int texture); /* width*height*4 RGBA bytes, top row first; free() */

/* Images: PNG or JPEG decoded into 8-bit RGB or RGBA pixels. */
KVE_IMAGE* KVE_LoadImage(int id, const char* fileName);
KVE_IMAGE* KVE_CatchImage(int id, const void* data, int size);
int KVE_GetImageNumber(const KVE_IMAGE* image); /* -1 for null */
int KVE_GetImageWidth(int image);               /* pixels */
int KVE_GetImageHeight(int image);              /* pixels */
int KVE_GetImagePoint(int image, int x, int y); /* packed colour from the top-left; 0 outside */
int KVE_SaveImage(int image, const char* fileName); /* as PNG; 1 on success */
void KVE_FreeImage(int image);

/* ========================================================================== */
/* 6d. Materials                                                              */
/* ========================================================================== */

/* A material: the built-in program that draws a surface (by kind, KVE_SHADER_*), four
 * texture slots and a cube map (texture numbers, -1 when empty), the values of the
 * Material uniform block and the render state. Every material is listed under its
 * program in the shader queues from its creation until its release. */
typedef struct KVE_MATERIAL KVE_MATERIAL;

#define KVE_NO_TEXTURE (-2) /* KVE_CreateMaterial: leave slot 0 empty */

KVE_MATERIAL* KVE_CreateMaterialListEntry(int* id, const char* name); /* id in: wanted or -1; out: given */
/* Defaults: white, shine 1, hardness 1, refraction 0.05, depth mask and culling on, blend
 * SRC_ALPHA / ONE_MINUS_SRC_ALPHA, the default cube map. texture -1: slots 0-2 get the
 * default textures; KVE_NO_TEXTURE: no texture; else slot 0 gets that texture. */
KVE_MATERIAL* KVE_CreateMaterial(int id, int texture, int kind, const char* name);
KVE_MATERIAL* KVE_CopyMaterial(int source, int id, const char* name); /* every field but number and name */
int KVE_CopyMaterialInto(int source, int target);                     /* 1 when copied */
/* A Material block: "\Color", "\Shader", "\Texture[0]".."\Texture[3]" (a texture's name, or
 * a texture block), "\BlendingMode", "\Shine", "\ShineColor", "\Hardness" ("\Blend" for
 * SOFTPARTICLE), "\Reflection", "\Refraction" (x 0.01), "\SurfaceScattering",
 * "\DepthMask", "\BackFaceCulling", "\Wireframe". */
KVE_MATERIAL* KVE_LoadMaterialDefinition(int id, DefinitionNode* node, const char* name);
KVE_MATERIAL* KVE_GetMaterial(int material);           /* null when there is none */
int KVE_GetMaterialNumber(const KVE_MATERIAL* material); /* -1 for null */
int KVE_FindMaterial(const char* name);                 /* number of the material of that name; -1 if none */
/* 0; leaves the shader queues. Objects that used it keep no material (not drawn until
 * given another) and the log says how many. */
int KVE_ReleaseMaterial(int material);
int KVE_RegisterMaterial(int material);   /* 1 when newly listed under its program */
int KVE_UnregisterMaterial(int material); /* 1 when taken out of its program's list */
void KVE_SetMaterialKind(int material, int kind);     /* built-in program of the kind; objects follow */
void KVE_SetMaterialShader(int material, int shader); /* any program; objects follow */
int KVE_GetMaterialShader(int material);              /* its program's number; -1 without one */
const char* KVE_GetMaterialName(int material);        /* "" when there is none */
void KVE_SetMaterialTexture(int material, int slot, int texture); /* slot 0..3; texture < 0 empties */
int KVE_GetMaterialTexture(int material, int slot);               /* -1 when empty */
void KVE_SetMaterialCubeMap(int material, int texture);
int KVE_GetMaterialCubeMap(int material);
void KVE_SetMaterialColor(int material, int color); /* packed; alpha byte 0 means opaque */
int KVE_GetMaterialColor(int material);
void KVE_SetMaterialShine(int material, float shine); /* highlight intensity */
float KVE_GetMaterialShine(int material);
void KVE_SetMaterialShineColor(int material, int color);
int KVE_GetMaterialShineColor(int material);
void KVE_SetMaterialHardness(int material, float hardness); /* highlight exponent */
float KVE_GetMaterialHardness(int material);
void KVE_SetMaterialReflection(int material, float reflection);
float KVE_GetMaterialReflection(int material);
void KVE_SetMaterialRefraction(int material, float refraction); /* kept x 0.01 */
float KVE_GetMaterialRefraction(int material);                  /* as given (kept x 100) */
void KVE_SetMaterialEmission(int material, float emission);
float KVE_GetMaterialEmission(int material);
void KVE_SetMaterialSurfaceScattering(int material, float scattering);
void KVE_SetMaterialDepthMask(int material, int depthMask);      /* 0/1 */
void KVE_SetMaterialBackFaceCulling(int material, int culling);  /* 0/1 */
void KVE_SetMaterialBlending(int material, int source, int destination); /* GL blend factors */
void KVE_SetMaterialParameter(int material, int index, float value);    /* index 0..3 */

/* ========================================================================== */
/* 7. Meshes                                                                  */
/* ========================================================================== */

/* A mesh: an indexed triangle list kept in memory and, once finished, in one vertex
 * array object with an interleaved vertex buffer and a 32-bit index buffer. Operations
 * take the mesh's number (explicit 0..65535 or automatic); the record's own fields are
 * read-only for the application. */
typedef struct KVE_MESH {
    int number;       /* registry number */
    const char* name; /* "" for unnamed meshes; owned by the engine */
} KVE_MESH;

/* One vertex as stored in memory and in the vertex buffer: 52 bytes, attribute
 * locations 0 position, 1 normal, 6 tangent, 2 texture coordinate, 7 group index. */
typedef struct KVE_MESH_VERTEX {
    float position[4]; /* x, y, z, w (w 1) at byte 0 */
    float normal[3];   /* byte 16 */
    float tangent[3];  /* byte 28; zero until KVE_CalculateMeshTangents */
    float texCoord[2]; /* u, v at byte 40 */
    int32_t group;     /* vertex group index at byte 48 */
} KVE_MESH_VERTEX;

KVE_MESH* KVE_CreateMeshListEntry(int* id, const char* name); /* id in: wanted or -1; out: given */
KVE_MESH* KVE_CreateMesh(int id, const char* name);            /* new empty mesh */
/* Reads a ".kvm" mesh file; an empty or null name takes the file part of fileName. */
KVE_MESH* KVE_LoadMesh(int id, const char* fileName, const char* name);
/* Writes the mesh as ".kvm" text under meshName (null: the mesh's own name). */
void KVE_SaveMesh(int mesh, const char* fileName, const char* meshName);
int KVE_SetMeshVertexCount(int mesh, int count);     /* count zeroed vertices; returns count * 52, 0 on failure */
int KVE_SetMeshTriangleCount(int mesh, int count);   /* 3 * count zeroed indices; returns their bytes */
int KVE_SetMeshIndexCount(int mesh, int count);      /* count zeroed indices; returns count * 4 */
void KVE_SetMeshVertex(int mesh, int vertex, float x, float y, float z, float w);
void KVE_SetMeshNormal(int mesh, int vertex, float x, float y, float z);
void KVE_SetMeshTextureCoord(int mesh, int vertex, float u, float v);
void KVE_SetMeshVertexGroup(int mesh, int vertex, int group);
void KVE_SetMeshTriangle(int mesh, int triangle, int i0, int i1, int i2); /* 0-based vertex indices */
int KVE_GetMeshGroup(int mesh, const char* name);  /* group index; a new name is appended */
int KVE_FindMeshGroup(int mesh, const char* name); /* group index, -1 when absent */
/* Uploads the mesh to new GL objects and logs its counts; 1 on success, 0 when an index
 * is out of range (nothing is uploaded then). */
int KVE_FinishMesh(int mesh);
int KVE_CalculateMeshTangents(int mesh); /* fills and uploads the tangents; 0 without vertices */
KVE_MESH* KVE_GetMesh(int mesh);         /* the record, null when none has that number */
void KVE_UpdateMesh(int mesh);           /* uploads the vertices again into the finished buffer */
void KVE_ScaleMesh(int mesh, float x, float y, float z); /* scales every position, then KVE_UpdateMesh */
void KVE_ReleaseMesh(int mesh); /* GL objects and the record; its objects are no longer drawn (logged) */
const char* KVE_GetMeshName(int mesh);
int KVE_GetMeshVertexCount(int mesh);
int KVE_GetMeshIndexCount(int mesh);
int KVE_GetMeshTriangleCount(int mesh);                               /* index count / 3 */
KVE_MESH_VERTEX* KVE_GetMeshVertexAddress(int mesh, int vertex);      /* null when out of range */
float* KVE_GetMeshNormalAddress(int mesh, int vertex);                /* 3 floats */
float* KVE_GetMeshTextureCoordAddress(int mesh, int vertex);          /* 2 floats */
int KVE_GetMeshVertexGroup(int mesh, int vertex);

/* Reads a Wavefront OBJ file (positions, texture coordinates, normals, groups, the first
 * three corners of every face); every face corner becomes a vertex of its own. */
KVE_MESH* KVE_LoadOBJMesh(int id, const char* fileName, const char* name);
/* A UV sphere of slices x stacks quads (6 vertices each), normals of length radius;
 * reached through its id. Returns 0. */
int KVE_CreateSphere(int id, float radius, int slices, int stacks, const char* name);
/* Wind meshes in y = 0 for the Grass program: groups "Static" 0 and "Dynamic" 1. */
KVE_MESH* KVE_CreateGrassTriangle(int id, float size, float textureRepeat, const char* name);
KVE_MESH* KVE_CreateGrassQuad(int id, float size, float textureRepeat, const char* name);

/* ========================================================================== */
/* 8a. Scene items: objects, nodes, camera                                    */
/* ========================================================================== */

/* Scene item kinds (KVE_ITEM.kind). */
#define KVE_ITEM_OBJECT 1
#define KVE_ITEM_EMITTER 2
#define KVE_ITEM_LIGHT 3
#define KVE_ITEM_CAMERA 4
#define KVE_ITEM_SOUND 5
#define KVE_ITEM_NODE 6

/* Attachment modes: how a child follows its parent. */
#define KVE_ATTACH_NONE 0
#define KVE_ATTACH_RIGID 3 /* position and rotation */
#define KVE_ATTACH_FULL 7  /* position, rotation and scale */

/* Placement mode flags of every Move and Rotate operation. Without KVE_LOCAL or
 * KVE_GLOBAL the values are taken in the parent's space. */
#define KVE_RELATIVE 1 /* add to the current placement (otherwise replace it) */
#define KVE_LOCAL 2    /* in the item's own axes */
#define KVE_GLOBAL 4   /* in world axes */

/* The header at the start of every placeable record (objects, nodes, lights, sounds,
 * emitters, the camera). The three references point into the record itself. */
typedef struct KVE_ITEM {
    int32_t kind;                /* KVE_ITEM_* */
    int32_t attachMode;          /* KVE_ATTACH_*; 0 = not attached */
    struct KVE_ITEM* parent;     /* null when not attached */
    KVE_Matrix* fullMatrix;      /* rotation, scale and position: followed by mode 7 children */
    KVE_Matrix* rigidMatrix;     /* rotation and position: followed by mode 3 children */
    KVE_Quaternion* rotation;    /* the item's rotation in its parent's space */
} KVE_ITEM;

/* Called on every contact with (own object number, other object number); the result is
 * kept in the object's callbackResult. */
typedef int (*KVE_COLLISION_CALLBACK)(int object, int other);

/* The physics state of an object (its Body block). */
typedef struct KVE_OBJECT_BODY {
    void* body;                 /* the attached physics body; null = not in the physics */
    float sizeFactor;           /* largest of the three scale components (signed), 1.0 */
    float restitution;          /* bounce factor, 0.4 */
    float friction;             /* friction factor, 0.7 */
    float mass;                 /* 0 = static */
    KVE_Matrix inertia;         /* inertia tensor in the object's axes, identity */
    KVE_Vector v4fMovement;     /* linear velocity, units per second */
    KVE_Vector angularVelocity; /* radians per second about x, y, z */
    KVE_Vector acceleration;    /* applied in the next step */
    KVE_Vector angularAcceleration;
    KVE_Vector displacement;            /* position change of the last step */
    KVE_COLLISION_CALLBACK collisionCallback;
    int32_t callbackResult;             /* the callback's last return value */
    void* treeNodes;                    /* the world-tree nodes holding the object */
} KVE_OBJECT_BODY;

/* A scene object: a mesh drawn with a material. Fields in this order. */
typedef struct KVE_OBJECT {
    KVE_ITEM item;           /* kind KVE_ITEM_OBJECT */
    int32_t number;          /* registry number */
    const char* name;        /* "" when unnamed */
    int32_t visible;         /* 1; 0 = skipped by every pass */
    int32_t castsShadow;     /* 1; 0 = not drawn into shadow maps */
    int32_t animationFlag;   /* 0 = no animation */
    int32_t animation;       /* the animation value given at creation */
    int32_t binding1;        /* -1: unset binding of another subsystem */
    int32_t binding2;        /* -1 */
    KVE_OBJECT_BODY Body;
    KVE_Vector v4fPosition;  /* position in the parent's space, w = 1 */
    KVE_Quaternion rotation; /* in the parent's space */
    KVE_Matrix fullMatrix;   /* rotation, scale and position */
    KVE_Matrix rigidMatrix;  /* rotation and position */
    KVE_Vector scale;        /* per axis, (1, 1, 1, 0) */
    KVE_MATERIAL* material;  /* null when none */
    KVE_MESH* mesh;          /* the mesh record */
    int32_t binding3;        /* -1 */
    int32_t isStatic;        /* 1: left out of a static light's per-frame shadow map */
    int32_t noCameraPass;    /* 1: skipped by the G-buffer pass */
} KVE_OBJECT;

/* An empty placeholder that other items can be attached to. */
typedef struct KVE_NODE {
    KVE_ITEM item;           /* kind KVE_ITEM_NODE */
    int32_t number;
    const char* name;
    KVE_Vector position;     /* in the parent's space, w = 1 */
    KVE_Quaternion rotation;
    KVE_Matrix matrix;       /* rotation and position: both the full and the rigid matrix */
} KVE_NODE;

/* Objects. `number` -1 asks for an automatic number; a name in use replaces the older
 * object. Null when the mesh does not exist (no message) or the number is refused. */
KVE_OBJECT* KVE_CreateObject(int number, int mesh, int material, const char* name, int animationFlag,
                             int animationValue); /* material -1: the default material */
/* Registry entries alone (id in: wanted or -1; out: given): every field zero but the
 * item header, nothing drawn or simulated until the caller fills the record. */
KVE_OBJECT* KVE_CreateObjectListEntry(int* id, const char* name);
KVE_NODE* KVE_CreateNodeListEntry(int* id, const char* name);
KVE_OBJECT* KVE_CopyObject(int number, int source, const char* name); /* same mesh and material, same placement */
KVE_OBJECT* KVE_GetObject(int object);                               /* null when there is none */
int KVE_ReleaseObject(int object);                                   /* 1 when released; detaches its children */
int KVE_ScaleObject(int object, float x, float y, float z, int mode); /* mode 1 multiplies, else sets */
int KVE_MoveObject(int object, float x, float y, float z, int mode);   /* KVE_RELATIVE | KVE_LOCAL | KVE_GLOBAL */
int KVE_RotateObject(int object, float x, float y, float z, int mode); /* degrees; same modes */
/* Velocity from `vector` (its w ignored) or, when it is null, from (x, y, z); mode 1 adds,
 * mode 2 takes it in the object's own axes. */
int KVE_SetObjectVelocity(int object, const KVE_Vector* vector, float x, float y, float z, int mode);
KVE_Vector* KVE_GetObjectPosition(int object, KVE_Vector* out);        /* in the parent's space; null if none */
KVE_Quaternion* KVE_GetObjectRotation(int object, KVE_Quaternion* out); /* in the parent's space */
KVE_ITEM* KVE_GetObjectItem(int object);                               /* its header, for KVE_AttachItem */
/* Gives the object another material (-1: the default one) and moves it to that
 * material's object list; 0 when the object or the material does not exist. */
int KVE_SetObjectMaterial(int object, int material);
int KVE_RegisterObject(int object);   /* 1 when newly listed under its material's program */
int KVE_UnregisterObject(int object); /* 1 when taken out of its material's list */

/* Nodes: position (0, 0, 0, 1), rotation identity. */
KVE_NODE* KVE_CreateNode(int number, const char* name);
KVE_NODE* KVE_GetNode(int node);
int KVE_ReleaseNode(int node); /* 1 when released; detaches its children */
int KVE_MoveNode(int node, float x, float y, float z, int mode);
int KVE_RotateNode(int node, float x, float y, float z, int mode);
KVE_ITEM* KVE_GetNodeItem(int node);

/* Any item. Attaching with mode 0 or a null parent detaches. Refused (0): unknown items,
 * other modes, and a parent that is the child or hangs below it. */
int KVE_AttachItem(KVE_ITEM* parent, KVE_ITEM* child, int mode);
KVE_Matrix* KVE_GetItemWorldMatrix(const KVE_ITEM* item, KVE_Matrix* out);           /* own full matrix with parents */
KVE_Quaternion* KVE_GetItemWorldRotation(const KVE_ITEM* item, KVE_Quaternion* out); /* rotation with parents */

/* The camera. There is exactly one; every camera operation ignores its number. */
int KVE_MoveCamera(int camera, float x, float y, float z, int mode);
int KVE_RotateCamera(int camera, float x, float y, float z, int mode); /* degrees */
void KVE_UpdateCamera(void); /* recomputes the world and view matrices (done by every move and rotate) */
/* mode & 4: world position; mode & 2: (0, 0, 0, 1); otherwise the stored position. */
KVE_Vector* KVE_GetCameraPosition(KVE_Vector* out, int mode);
KVE_Quaternion* KVE_GetCameraRotation(KVE_Quaternion* out); /* in the parent's space */
/* Unit world direction from the camera through the screen point (x, y) in pixels from the
 * top-left corner; x = y = -65535 is the screen centre, the viewing direction. */
KVE_Vector* KVE_GetCameraRay(KVE_Vector* out, float x, float y);
KVE_ITEM* KVE_GetCameraItem(int camera);

/* ========================================================================== */
/* 8b. Lights                                                                 */
/* ========================================================================== */

/* A local light: a scene item with a range, colour and intensity. Numbers 0..65535 or
 * -1 (automatic); lights have no names. */
typedef struct KVE_LIGHT KVE_LIGHT;

#define KVE_LIGHT_POINT 1
#define KVE_LIGHT_SPOT 2

/* Null when the number is above 65535 or the type is not 1 or 2 (nothing changes then).
 * A light already holding the number is freed first. */
KVE_LIGHT* KVE_CreateLight(int light, float x, float y, float z, int type);
int KVE_FreeLight(int light); /* 1 when freed; also deletes its static shadow map */
int KVE_SetLightEnabled(int light, int enabled);
int KVE_GetLightEnabled(int light);
int KVE_GetLightShadow(int light); /* the casts-shadows flag */
/* Static shadow map (2048^2 depth, a cube map for point lights) exists while both flags
 * are set. 0 when the map cannot be made (no running engine); nothing changes then. */
int KVE_SetLightShadow(int light, int castsShadows, int isStatic);
int KVE_SetLightRange(int light, float range); /* distance of zero contribution; > 0 */
float KVE_GetLightRange(int light);
int KVE_SetLightColor(int light, int color);              /* packed 0xAABBGGRR */
KVE_Vector* KVE_GetLightColor(int light, KVE_Vector* out); /* red, green, blue, alpha in 0..1 */
int KVE_SetLightIntensity(int light, float intensity);
float KVE_GetLightIntensity(int light);
int KVE_SetLightDirection(int light, float x, float y, float z); /* spot direction, stored as given */
int KVE_SetLightConeAngle(int light, float angle);              /* spot cone factor */
float KVE_GetLightX(int light); /* local position */
float KVE_GetLightY(int light);
float KVE_GetLightZ(int light);
int KVE_MoveLight(int light, float x, float y, float z, int mode);   /* KVE_RELATIVE | KVE_LOCAL | KVE_GLOBAL */
int KVE_RotateLight(int light, float x, float y, float z, int mode); /* degrees; same modes */
KVE_ITEM* KVE_GetLightItem(int light);                               /* its header, for KVE_AttachItem */
int KVE_GetLightNumber(const KVE_LIGHT* light);                      /* -1 for null */

/* The directional light and the ambient term. */
void KVE_SetDirectLightEnabled(int enabled);
void KVE_SetDirectLightDirection(float x, float y, float z); /* toward the light; normalised, zero ignored */
void KVE_SetDirectLightColor(int color);                     /* alpha forced to 1.0 */
void KVE_SetDirectLightIntensity(float intensity);
void KVE_SetAmbientColor(int color); /* multiplies every surface colour; alpha forced to 1.0 */
void KVE_SetShadows(int enabled);    /* global switch for all shadow rendering */
void KVE_SetShadowCentre(float x, float y, float z); /* where the directional shadow map is centred */
void KVE_BakeStaticShadows(void); /* renders the static objects into every static point light's static map */

/* ========================================================================== */
/* 9a. Uniform blocks, projection, shader queues                              */
/* ========================================================================== */

#define KVE_PROJECTION_ORTHOGRAPHIC 0
#define KVE_PROJECTION_PERSPECTIVE 1

/* Built-in program kinds (KVE_GetBuiltinShader); 0, 14, 17, 22 and 23 stay empty. */
#define KVE_SHADER_DEFAULT 1
#define KVE_SHADER_DRAWING 2
#define KVE_SHADER_DRAW_MESH 3
#define KVE_SHADER_TEXTURES 4
#define KVE_SHADER_NORMAL_MAPPING 5
#define KVE_SHADER_REFLECTION_NORMAL_MAPPING 6
#define KVE_SHADER_NORMAL_MAPPING_SILHOUETTE 7
#define KVE_SHADER_SPECULAR_NORMAL_MAPPING 8
#define KVE_SHADER_TEXTURE_ARRAY 9
#define KVE_SHADER_GRASS 10
#define KVE_SHADER_PARALLAX_MAPPING 11
#define KVE_SHADER_SPECULAR_PARALLAX_MAPPING 12
#define KVE_SHADER_WATER 13
#define KVE_SHADER_REFRACTION 14
#define KVE_SHADER_MASK_REFRACTION 15
#define KVE_SHADER_MESH_GLOW 16
#define KVE_SHADER_SKYBOX 18
#define KVE_SHADER_PARTICLE 19
#define KVE_SHADER_SOFT_PARTICLE 20
#define KVE_SHADER_BILLBOARD 21
#define KVE_SHADER_TEXTURED_SPRITE 24
#define KVE_SHADER_MASKED_SPRITE 25
#define KVE_SHADER_KIND_COUNT 26

/* Shader queues the frame walks. */
#define KVE_QUEUE_GBUFFER 0 /* deferred programs, lit by the lighting passes */
#define KVE_QUEUE_FORWARD 1 /* unlit forward programs, drawn into the lit image */
#define KVE_QUEUE_OVERLAY 2 /* programs that read the lit image and depth: water, refraction, glow */
#define KVE_QUEUE_SPRITE 7  /* sprite programs */

void KVE_InitProjection(void);     /* defaults, viewport, the three matrices, Projection buffer */
int KVE_InitShaderBuffers(void);   /* the five uniform blocks; 1 on success */
void KVE_InitSpriteShaders(void);  /* built-in programs of kinds 24 and 25 */
void KVE_InitBuiltinShaders(void); /* built-in programs of kinds 1 to 21 */
void KVE_InitScreenShader(void);   /* the screen-copy program */
void KVE_SetProjectionFOV(float degrees); /* vertical field of view */
void KVE_SetProjectionNear(float distance);
void KVE_SetProjectionFar(float distance);
void KVE_SetProjectionMode(int mode); /* KVE_PROJECTION_*; uploads that mode's matrix */
int KVE_GetProjectionMode(void);
float KVE_GetProjectionFOV(void);    /* degrees */
float KVE_GetProjectionNear(void);
float KVE_GetProjectionFar(void);
float KVE_GetProjectionAspect(void); /* screen width / height */
void KVE_GetProjectionMatrix(KVE_Matrix* matrix); /* the current mode's 3D matrix */
void KVE_Get2DMatrix(KVE_Matrix* matrix);         /* pixels, origin top-left, y down */
ShaderProgram* KVE_GetBuiltinShader(int kind);    /* kinds 0..25; null for an empty kind */

/* ========================================================================== */
/* 9b. Frame rendering                                                        */
/* ========================================================================== */

void KVE_SetBackgroundColor(int color); /* packed colour the output is cleared to */
int KVE_RenderScene(int framebuffer);    /* draws the frame; -1 = the window */
int KVE_InitGBuffer(void);              /* G-buffer and lighting programs; 0 when incomplete */
int KVE_InitSceneTargets(void);         /* scene and glow targets; 0 when incomplete */
int KVE_InitShadowTargets(int size);    /* 2D and cube shadow maps of size^2; 0 when incomplete */
/* 1 (default): a shadow map face is drawn only from the casters that meet it, and kept
 * while its casters and light are unchanged; 0: every face is redrawn from all casters
 * every frame. The picture is the same either way. */
void KVE_SetShadowMapReuse(int enabled);

/* GPU time of each pass of KVE_RenderScene, from GL timer queries read back a frame or
 * two late (nothing waits for the GPU). A pass that did not run in a frame (shadows off)
 * does not count that frame. */
typedef struct KVE_RENDER_PASS_TIME {
    const char* name; /* "G-buffer", "point shadow maps", ... */
    int frames;       /* frames measured since timing was switched on */
    float lastMs;     /* milliseconds in the latest measured frame */
    float averageMs;
    float maxMs;
} KVE_RENDER_PASS_TIME;
void KVE_SetRenderPassTiming(int enabled); /* 1: time every pass from now on; resets the figures; 0 */
int KVE_GetRenderPassTimes(KVE_RENDER_PASS_TIME* times, int capacity); /* fills up to capacity; returns the pass count */
/* GL errors seen since start-up (test and debug builds report each in the log with its
 * pass; other builds do not check and answer 0). */
int KVE_GetGLErrorCount(void);
void KVE_ResizeGBuffer(void);           /* reallocates the targets at the current screen size */
void KVE_SetGlow(int enabled);          /* glow image built and added; 1 */
void KVE_SetGlowBlur(float width);      /* glow blur tap spacing in screen pixels; 2.5 */
void KVE_SetSkyBox(int texture, int color); /* cube-map texture and packed tint of the sky box */
void KVE_EnableSkyBox(int enabled);     /* sky drawn where no geometry is; 0 */
void KVE_SetSkyBoxRotation(float x, float y, float z); /* degrees about x, y, z; the sky turns, layers keep theirs */
/* Extra layers drawn over the sky in the order added, blended by their texels' alpha:
 * a mesh centred on the camera (-1: the sky's own cube) showing a cube-map texture with
 * a packed tint. Returns the layer's index. Released meshes or textures skip the layer. */
int KVE_AddSkyBoxLayer(int mesh, int texture, int color);
int KVE_SetSkyBoxLayerRotation(int layer, float x, float y, float z); /* degrees; 0 for no such layer */
int KVE_GetSkyBoxLayerCount(void);
void KVE_ClearSkyBoxLayers(void);

/* ========================================================================== */
/* 9c. 2D drawing: sprites and text                                           */
/* ========================================================================== */

/* Sprites and text are drawn in screen pixels (origin top-left, y down) after the 3D
 * frame, with a material of kind 24 (textured sprite) or 25 (masked sprite). */
typedef struct KVE_SPRITE KVE_SPRITE;
typedef struct KVE_FONT KVE_FONT;

/* A sprite of the material's first texture's size; centred on its position unless
 * topLeftOrigin is 1; flip 1 turns the texture upside down. */
KVE_SPRITE* KVE_CreateSprite(int id, int material, int topLeftOrigin, int flip);
int KVE_GetSpriteNumber(const KVE_SPRITE* sprite); /* -1 for null */
int KVE_DrawSprite(int sprite, float x, float y);   /* 1 when drawn */
void KVE_SetSpriteSize(int sprite, float width, float height); /* pixels */
void KVE_RotateSprite(int sprite, float angle, int relative);  /* degrees, clockwise; relative 1 adds */
/* The four corners in strip order (top-left, bottom-left, top-right, bottom-right for an
 * upright sprite), in pixels relative to the sprite's position; the size becomes 1. */
void KVE_SetSpriteCorners(int sprite, float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                          float y3);
/* Texture coordinates (0..1) of coordinate set 0 (colour) or 1 (mask). */
void KVE_SetSpriteRect(int sprite, float u, float v, float width, float height, int set);
int KVE_ReleaseSprite(int sprite); /* 0 */

/* Bitmap fonts (".tf"). A damaged file keeps what was read before the damage. */
#define KVE_FONT_DEFAULT 0 /* variants of the built-in font (KVE_GetDefaultFont) */
#define KVE_FONT_LARGE 1   /* twice the size */
#define KVE_FONT_SLANTED 2 /* 12 degrees slant */
#define KVE_FONT_CENTRED 3 /* centred on the given point */
#define KVE_FONT_VARIANTS 4

KVE_FONT* KVE_LoadFont(int id, const char* fileName); /* null when unreadable or not a font */
KVE_FONT* KVE_CatchFont(int id, const void* data, int size);
KVE_FONT* KVE_CopyFont(int font, int id);   /* shares the glyphs, copies the settings */
int KVE_GetFontNumber(const KVE_FONT* font); /* -1 for null */
int KVE_GetDefaultFont(int variant);         /* KVE_FONT_*; -1 when there is none */
void KVE_SetFontSize(int font, float size);  /* scale of every glyph metric, 1.0 */
void KVE_SetFontColor(int font, int color);  /* packed, opaque white */
void KVE_SetFontAlignment(int font, float horizontal, float vertical); /* 0 start, 0.5 centre, 1 end */
void KVE_SetFontAngle(int font, float degrees);   /* slant; positive leans right */
void KVE_SetFontSpacing(int font, float pixels);  /* extra space after every glyph */
void KVE_SetFontLineWidth(int font, float pixels); /* wrap after the last space beyond it; 0 never */
void KVE_SetFontKerning(int font, int on);
int KVE_ReleaseFont(int font); /* 0 */
/* Draws text with its first line's top-left at (x, y); line feeds start new lines. color
 * KVE_DEFAULT, size and angle KVE_DEFAULT_FLOAT take the font's settings. 1 when drawn. */
int KVE_DrawText(int font, float x, float y, const char* text, int color, float size, float angle);
/* Widest line and total height in pixels at `size` (KVE_DEFAULT_FLOAT: the font's); the
 * number of lines. */
int KVE_MeasureText(int font, const char* text, float size, float* width, float* height);

/* ========================================================================== */
/* 9d. Debug lines                                                            */
/* ========================================================================== */

/* Coloured 3D segments queued during a frame and drawn (then emptied) by the frame with
 * the Drawing program. Colours are packed (0xAABBGGRR). Queueing returns 0. */
void KVE_InitLines(void);                          /* run by KVE_Init: the queue and its buffer */
void KVE_SetLineWidth(float width);                /* pixels, given to glLineWidth */
void KVE_SetLineTransform(const KVE_Matrix* matrix); /* every queued point through it; null: off */
int KVE_DrawLine3D(float x1, float y1, float z1, float x2, float y2, float z2, int color);
int KVE_DrawLineV(const KVE_Vector* a, const KVE_Vector* b, int color);
int KVE_DrawTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3, float z3,
                       int color); /* outline: 1-2, 2-3, 3-1 */
int KVE_DrawTriangleV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int color);
int KVE_DrawTriangleColorsV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int colorA, int colorB,
                            int colorC); /* each corner its colour */
int KVE_DrawBox3D(float x1, float y1, float z1, float x2, float y2, float z2, int color); /* 12 edges */
int KVE_DrawBoxV(const KVE_Vector* a, const KVE_Vector* b, int color);
int KVE_DrawCross3D(float x, float y, float z, float size); /* x red, y blue, z green; half size */
int KVE_DrawCross3DColor(float x, float y, float z, float size, int color);
int KVE_DrawCrossV(const KVE_Vector* point, float size);
int KVE_DrawCrossVColor(const KVE_Vector* point, float size, int color);
int KVE_DrawSphere3D(float x, float y, float z, float radius, int color); /* 15 rings of 12 chords */
int KVE_DrawSphereV(const KVE_Vector* center, float radius, int color);
int KVE_DrawLines(void);           /* draws and empties the queue (the frame calls it) */
int KVE_GetLineVertexCount(void);  /* vertices queued since the last draw */

/* ========================================================================== */
/* 10. Physics                                                                */
/* ========================================================================== */

/* The process-wide recursive physics lock (the step holds it phase by phase). */
void KVE_LockPhysics(void);
void KVE_UnlockPhysics(void);

/* Body types; the same values given to KVE_SetObjectBody build a body from the object's
 * own mesh (-3, -4, -5), give it the built-in point body (-1) or detach it (-65535). */
#define KVE_BODY_POINT (-1)
#define KVE_BODY_BOX (-3)
#define KVE_BODY_SPHERE (-4)
#define KVE_BODY_MESH (-5)
#define KVE_BODY_NONE (-65535)

/* Components of KVE_GetPhysicsEnergy, added as bits. */
#define KVE_ENERGY_TRANSLATION 1 /* 0.5 m v.v */
#define KVE_ENERGY_ROTATION 2    /* 0.5 w^T I w */
#define KVE_ENERGY_POSITION 4    /* -m g.p */
#define KVE_ENERGY_TENSION 8     /* 0.5 k (d - L)^2 over the joints */

/* A collision shape shared by any number of objects (a body registry record). */
typedef struct KVE_BODY {
    int number;       /* registry number; -1 for the built-in point body */
    const char* name; /* "" when unnamed; owned by the engine */
} KVE_BODY;

/* A spring between a point of one object and a point of another. */
typedef struct KVE_JOINT KVE_JOINT;

/* Bodies. Numbers 0..65535 or -1 (automatic); a name in use releases the older body. */
KVE_BODY* KVE_CreateBodyListEntry(int* id, const char* name); /* id in: wanted or -1; out: given */
/* Reads a ".kvb" body file (type -5); an empty or null name takes the file part of the path. */
KVE_BODY* KVE_LoadBody(int id, const char* fileName, const char* name);
/* From the mesh's vertex positions: type -4 sphere (radius x scale), -3 bounding box, -5
 * welded triangle mesh with its bounding-box tree. Null on failure. */
KVE_BODY* KVE_CreateBodyFromMesh(int id, int mesh, int type, float scale, const char* name);
KVE_BODY* KVE_CreateSphereBody(int id, float radius, const char* name);
KVE_BODY* KVE_CreateEmptyBody(int id, const char* name); /* type 0: takes part in no collision */
KVE_BODY* KVE_GetBody(int body);                         /* null when there is none */
int KVE_GetBodyType(int body);                           /* KVE_BODY_*, 0 for an empty body; 0 when none */
/* 0. Objects still using the body are taken out of the physics (their body cleared) and
 * the log says how many; detach them first (KVE_SetObjectBody with KVE_BODY_NONE). */
int KVE_FreeBody(int body);

/* Object physics. `body` is a body number, or a KVE_BODY_* type; `scale` only applies to
 * a sphere built from the mesh. Returns 1 when detached (KVE_BODY_NONE), else 0. */
int KVE_SetObjectBody(int object, int body, float scale);
int KVE_SetObjectMass(int object, float mass);               /* 0 = static; 0 */
int KVE_SetObjectRestitution(int object, float restitution); /* bounce factor, 0.4; 0 */
int KVE_SetObjectFriction(int object, float friction);       /* friction factor, 0.7; 0 */
int KVE_SetObjectCollisionCallback(int object, KVE_COLLISION_CALLBACK callback); /* 0 */

/* The world. KVE_Init runs KVE_InitPhysics; the application runs KVE_UpdatePhysics once
 * per frame: one step over the last frame time (the first frame moves nothing). */
int KVE_InitPhysics(void);                     /* the point body and the world tree; 1 */
int KVE_UpdatePhysics(int debug);              /* the step; debug 1 also queues the debug view; 0 */
int KVE_StepPhysics(void);                     /* springs, collisions, integration; 0 */
int KVE_SetGravity(float x, float y, float z); /* units per second squared; (0, 0, 0) at start; 0 */
float KVE_GetPhysicsStepRate(void);            /* steps per second: the frame rate, rounded */
float KVE_GetPhysicsEnergy(int components);    /* sum of the KVE_ENERGY_* bits given */
int KVE_GetPhysicsObjectCount(int dynamicSet); /* objects in the dynamic (1) or static (0) set */
int KVE_GetPhysicsTreeSize(void);              /* object entries in the world tree */

/* Contact solvers of KVE_SetPhysicsSolver. */
#define KVE_SOLVER_PAIRWISE 0  /**< each pair pushed apart and given its impulse as it is found (the default) */
#define KVE_SOLVER_ITERATIVE 1 /**< contact manifolds solved together by sequential impulses, with sleeping */

/** Chooses how the step resolves contacts for the whole world.
 *  solver: KVE_SOLVER_PAIRWISE or KVE_SOLVER_ITERATIVE.
 *  Returns 1; 0 and a red "Fail: Unknown solver!" entry for any other value (nothing changes). */
int KVE_SetPhysicsSolver(int solver);
/** Sets the iterative solver's work per step (defaults 4 and 1).
 *  velocity: 1..100 sub-steps, each one impulse pass that also pushes overlapping bodies
 *  apart; position: 0..100 relaxing passes per sub-step that take that push out of the
 *  velocities again. Returns 1; 0 and a red "Fail: Iterations out of range!" entry
 *  otherwise (nothing changes). */
int KVE_SetSolverIterations(int velocity, int position);
/** Lets groups of touching or jointed bodies that have come to rest sleep (iterative
 *  solver only; on by default). on: 0 wakes every body and keeps them awake. Returns 1. */
int KVE_SetSleeping(int on);
/** Whether an object sleeps. Returns 1 when asleep; 0 when awake, static, or not an object. */
int KVE_IsObjectSleeping(int object);
/** Counts the sleeping objects of the dynamic set. Returns 0 with the pairwise solver. */
int KVE_GetSleepingObjectCount(void);
/** Wakes an object and everything resting with it; moving, pushing or changing a body
 *  through the API does the same. Returns 1; 0 when the object does not exist. */
int KVE_WakeObject(int object);

/* Collisions. Normally run by the step; the test moves objects and applies impulses only
 * inside the step's collision phase. Non-zero when the two objects touch. */
int KVE_CollideObjects(int first, int second);
int KVE_ApplyContactImpulse(int objectA, int objectB); /* impulse at the current contact; 0 */
/* Sound played (mode 8, at the contact) when objects of these materials hit at an approach
 * speed above 1; second material -1 = any. Numbers of the sound and material registries. */
int KVE_SetCollisionSound(int sound, int firstMaterial, int secondMaterial);

/* Joints: numbers 0..65535 or -1 (automatic). Anchors are in each object's own axes; the
 * rest length is the anchors' distance now. Null for a refused number or a missing object. */
KVE_JOINT* KVE_CreateJoint(int id, int objectA, float ax, float ay, float az, int objectB, float bx, float by,
                           float bz, float stiffness);
int KVE_GetJointNumber(const KVE_JOINT* joint); /* -1 for null */
int KVE_FreeJoint(int joint);                   /* 0 */
int KVE_GetJointCount(void);                    /* active joints */

/* ========================================================================== */
/* 11. Particles                                                              */
/* ========================================================================== */

/* Emission modes and areas of an emitter. */
#define KVE_EMITTER_WORLD 0 /* particles live in world space once emitted */
#define KVE_EMITTER_LOCAL 1 /* particles live in the emitter's space and follow it */
#define KVE_EMISSION_POINT 0
#define KVE_EMISSION_BOX 1
#define KVE_EMISSION_RING 2

/* A particle emitter: a scene item that spawns camera-facing textured quads. Ranges are
 * (min, max); a value drawn from one is min + (max - min) * r, r uniform in [0, 1). */
typedef struct KVE_EMITTER {
    KVE_ITEM item;               /* kind KVE_ITEM_EMITTER; full and rigid matrix are `matrix` */
    int32_t number;              /* registry number */
    const char* name;            /* always "" */
    int32_t emitting;            /* 1; 0 = no new particles (time still runs on) */
    int32_t maxParticles;        /* instances drawn per frame, 0..65536 */
    int32_t visibleCount;        /* particles drawn after the last update */
    KVE_Vector position;         /* in the parent's space, w = 1 */
    KVE_Quaternion rotation;     /* in the parent's space */
    KVE_Matrix matrix;           /* rotation and position */
    KVE_Matrix emissionRotation; /* turns +z into `direction` */
    KVE_Vector direction;        /* unit main emission direction */
    KVE_Vector areaSize;         /* box extents; ring x, y scale and z height */
    float radius[2];             /* ring radii */
    KVE_Vector addedVelocity;    /* added to every new particle's velocity, units per second */
    int32_t mode;                /* KVE_EMITTER_WORLD or KVE_EMITTER_LOCAL */
    int32_t area;                /* KVE_EMISSION_POINT, _BOX or _RING */
    float angle;                 /* spread in degrees: 0 along the direction, 180 every way */
    float frequency;             /* particles per second */
    float force;                 /* random jitter of the velocity, units per second squared */
    float speed[2];              /* initial speed range, units per second */
    float fadeOut[2];            /* intensity lost per second after the lifetime; 0 = vanish */
    float fadeIn[2];             /* intensity gained per second up to the target; 0 = at once */
    float lifetime[2];           /* milliseconds */
    float intensity[2];          /* target intensity range */
    float size[2];               /* initial size range */
    float growth[2];             /* size gained per second */
    float color[4];              /* r, g, b, a in 0..1 */
    int32_t lastEmission;        /* engine clock of the last emission, ms; 0 before the first update */
    int32_t material;            /* material number; -1 = none (not drawn) */
} KVE_EMITTER;

/* Reads a definition file's ParticleEmitter node ("Emission\..." and "Particle\..." keys).
 * `id` -1 = automatic; an emitter already under the number is released first. Null when
 * the file cannot be read ("FAIL") or the number is refused (no message). Values are held
 * to these ranges, with an orange "Warning: " entry for each key changed (a value that is not
 * a number takes the key's default): Emission\MaxParticles 0..16384, Frequency 0..10000
 * per second, Angle 0..180 degrees, Force -1000..1000, Velocity -1000..1000, Radius
 * 0..10000, Position, Size and Direction components -1e6..1e6; Particle\LifeTime 0..600 s,
 * Size 0..10, Raise -10..10 per second, Intensity 0..100, FadeIn and FadeOut 0..1000 per
 * second. */
KVE_EMITTER* KVE_LoadParticleEmitter(int id, const char* fileName);
int KVE_UpdateParticleEmitters(void); /* once per frame before rendering: emit, fade, move; 0 */
/* Emits `count` particles at the offset (x, y, z) in the emitter's space; 0. */
int KVE_EmitParticles(int emitter, int count, float x, float y, float z);
int KVE_SetEmitterVelocity(int emitter, const KVE_Vector* velocity); /* added velocity (null: none); 0 */
/* flags 1: add to the position; 2: turn the offset by the emitter's rotation first; 0. */
int KVE_MoveParticleEmitter(int emitter, float x, float y, float z, int flags);
int KVE_MoveEmitter(int emitter, float x, float y, float z, int mode);   /* KVE_RELATIVE | KVE_LOCAL | KVE_GLOBAL; 1 */
int KVE_RotateEmitter(int emitter, float x, float y, float z, int mode); /* degrees; same modes; 1 */
int KVE_SetEmitterEmitting(int emitter, int emitting);                  /* 0 pauses emission; 0 */
int KVE_FreeParticleEmitter(int emitter); /* GPU objects, particles and registry slot; 0 */
KVE_EMITTER* KVE_GetEmitter(int emitter); /* null when there is none */
KVE_ITEM* KVE_GetEmitterItem(int emitter); /* its header, for KVE_AttachItem */
int KVE_GetEmitterParticleCount(int emitter); /* live particles, drawn or not */
void KVE_SeedParticles(uint32_t seed); /* restarts the particles' random source (reproducible runs) */

/* ========================================================================== */
/* 12. Sound                                                                  */
/* ========================================================================== */

/* Sound mode flags, given when a sound is loaded or played. */
#define KVE_SOUND_PLAY 1        /* start playing when loaded */
#define KVE_SOUND_LOOP 2        /* play in a loop */
#define KVE_SOUND_BACKGROUND 4  /* not positioned: no distance, cone, pan or Doppler */
#define KVE_SOUND_CHANNEL 8     /* each play starts an independent copy on a new channel */
#define KVE_SOUND_DOPPLER 16    /* pitch follows the radial speed */
#define KVE_SOUND_STREAM 32     /* the file is streamed instead of loaded whole */

/* A positioned sound: a scene item carrying a clip (WAV or OGG). Fields in this order. */
typedef struct KVE_SOUND {
    KVE_ITEM item;           /* kind KVE_ITEM_SOUND; full and rigid matrix are `matrix` */
    int32_t number;          /* registry number */
    const char* name;        /* "" when unnamed (always for a channel copy) */
    int32_t mode;            /* KVE_SOUND_* flags */
    int32_t playing;         /* 1 once played; the update skips sounds never played */
    int32_t clip;            /* the playback service's clip */
    float baseFrequency;     /* Hz: the clip's own sample rate */
    int32_t channel;         /* 0; a channel copy's channel number */
    float previousDistance;  /* listener distance at the last update */
    KVE_Vector direction;    /* w = 0; (0, 0, -1) */
    KVE_Vector position;     /* in the parent's space, w = 1 */
    KVE_Quaternion rotation; /* in the parent's space */
    KVE_Matrix matrix;       /* rotation and position */
    float range[2];          /* min, max distance; max 0 = no distance fall-off */
    float cone[2];           /* inner, outer angle in radians; outer 0 = no cone */
    float volume;            /* 1.0 = full */
    float frequency;         /* factor of baseFrequency, 1.0 */
} KVE_SOUND;

int KVE_InitSound(void); /* starts the playback service; master volume 1.0; 1 when an output is open */
/* Loads a WAV or OGG clip (streamed with KVE_SOUND_STREAM) and plays it at once with
 * KVE_SOUND_PLAY. `id` -1: automatic number; a name in use releases the older sound. */
KVE_SOUND* KVE_LoadSound(int id, const char* file, int mode, const char* name);
/* Reads the Sound block at or below `node` (keys File, Mode, Direction, Cone in degrees,
 * Range, Volume, Frequency); name "" or null: the block's or its nearest named ancestor's.
 * Values are held to these ranges, with an orange "Warning: " entry for each key changed:
 * Volume 0..10, Frequency 0.01..100, both ends of Range 0..1e6, of Cone 0..360 degrees. */
KVE_SOUND* KVE_LoadSoundDefinition(DefinitionNode* node, int id, const char* name);
KVE_SOUND* KVE_CreateSoundListEntry(int* id, const char* name); /* registry entry; id in/out */
KVE_SOUND* KVE_GetSound(int sound);                             /* null when there is none */
/* Plays with `mode` (KVE_DEFAULT: the sound's own) at `position` (world; null: where it
 * is). Channel mode plays a new copy and returns it. Null when a ranged sound's position
 * is beyond its range max from the listener (the camera). */
KVE_SOUND* KVE_PlaySound(int sound, int mode, const KVE_Vector* position);
int KVE_SetSoundVolume(int sound, float volume);                /* sound or copy; 1.0 = full; returns 0 */
int KVE_SetSoundRange(int sound, float min, float max);        /* distances; max 0 = unranged; returns 0 */
int KVE_SetSoundCone(int sound, float inner, float outer);     /* degrees, stored in radians; returns 0 */
int KVE_SetSoundDirection(int sound, float x, float y, float z); /* the way it faces; returns 0 */
int KVE_MoveSound(int sound, float x, float y, float z, int mode);   /* KVE_RELATIVE | KVE_LOCAL | KVE_GLOBAL */
int KVE_RotateSound(int sound, float x, float y, float z, int mode); /* degrees; same modes */
KVE_ITEM* KVE_GetSoundItem(int sound);                               /* its header, for KVE_AttachItem */
/* Once per frame: volume, pan and frequency of every playing sound from its place relative
 * to the camera; finished channel copies are removed. Returns 0. */
int KVE_UpdateSounds(void);
int KVE_FreeSound(int sound);         /* the clip and all its channel copies; returns 0 */
void KVE_SetMasterVolume(float volume); /* multiplies every sound's volume; 1.0 */
float KVE_GetMasterVolume(void);

/* ========================================================================== */
/* 13. Billboards, skeletons, animations                                      */
/* ========================================================================== */

typedef struct KVE_BILLBOARD KVE_BILLBOARD; /* a set of instanced camera-facing quads */
typedef struct KVE_ANIMATION KVE_ANIMATION;
typedef struct KVE_SKELETON KVE_SKELETON;

/* Registry entries: `id` in: the wanted number (0..65535) or -1, out: the number given.
 * A name already in use releases the older entry. Null when the number is refused. */
KVE_BILLBOARD* KVE_CreateBillboardListEntry(int* id, const char* name);
KVE_ANIMATION* KVE_CreateAnimationListEntry(int* id, const char* name);
KVE_SKELETON* KVE_CreateSkeletonListEntry(int* id, const char* name);
void KVE_ReleaseBillboard(int number); /* frees its instance buffer; unknown numbers are ignored */
void KVE_ReleaseAnimation(int number);
void KVE_ReleaseSkeleton(int number);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KVE_H */
