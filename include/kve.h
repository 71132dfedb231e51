/**
 * @file kve.h
 * @brief Korvane Engine: the public interface.
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

/** @defgroup types Constants and shared types
 * The default markers, the version and the value records every subsystem shares:
 * vectors, matrices, quaternions and packed colours. Records are plain values of 32-bit
 * floats with no alignment demand; the application owns the ones it declares.
 * Shown in @ref solar_system/solar_system.cpp "solar_system" (world matrices) and
 * @ref physics/spawning.cpp "the demonstration" (camera rays).
 * @{ */

#define KVE_DEFAULT (-65535)          /**< integer default marker (0xFFFF0001) */
#define KVE_DEFAULT_FLOAT (-65535.0f) /**< float default marker */
#define KVE_AUTO_ID (-1)              /**< ask a creation routine for an automatic number */
#define KVE_VERSION_TEXT "0.3.0.g (2014-12-14)" /**< the version line the log starts with */

/** Four floats; a position has w = 1, a direction w = 0. 16 bytes, no alignment needed. */
typedef struct KVE_Vector {
    float x; /**< x component */
    float y; /**< y component */
    float z; /**< z component */
    float w; /**< 1 for a position, 0 for a direction */
} KVE_Vector;

/** Column-major 4x4 matrix as OpenGL takes it: c[3] holds the translation. */
typedef struct KVE_Matrix {
    KVE_Vector c[4]; /**< the columns */
} KVE_Matrix;

/** Rotation quaternion, scalar part w last; identity is (0, 0, 0, 1). Products are
 * Hamilton products. */
typedef struct KVE_Quaternion {
    float x; /**< vector part x */
    float y; /**< vector part y */
    float z; /**< vector part z */
    float w; /**< scalar part */
} KVE_Quaternion;

/* A packed colour is a 32-bit int 0xAABBGGRR: red in the lowest byte. */

/** @} */

/* ========================================================================== */
/* 2. Log                                                                     */
/* ========================================================================== */

/** @defgroup log Log
 * The HTML log "KVE LogFile.html" that KVE_Init creates in the current directory: nested,
 * titled sections of entry rows, each flushed as it is written, so the file holds every
 * entry made before a crash. The engine never closes it. Every operation writes nothing
 * while no file is open. Texts are written as given (not escaped). Every example writes
 * this log; @ref hello/hello.cpp "hello" is the shortest.
 * @{ */

/** @name Log column flags
 * Which optional cells each entry row carries (KVE_SetLogColumns). */
/** @{ */
#define KVE_LOG_TIME 1      /**< the time of day, hh:mm:ss */
#define KVE_LOG_UNIT 2      /**< the file part of the source unit's name */
#define KVE_LOG_PROCEDURE 4 /**< the procedure (public operation) name */
#define KVE_LOG_LINE 8      /**< the source line, an empty cell for 0 */
/** @} */

/** @name Entry colours
 * Colours the engine writes its entries in (0xAABBGGRR; the alpha byte is never written). */
/** @{ */
#define KVE_LOG_RED 0xFF0000FF          /**< failures ("Fail: File not found!") */
#define KVE_LOG_BLUE 0xFFFF0000         /**< registry notices ("Loaded double: ...") */
#define KVE_LOG_GREEN 0xFF00FF11        /**< "OK" after a load or a step */
#define KVE_LOG_GREY 0x00404040         /**< progress: what is being loaded or set up */
#define KVE_LOG_MESH_GREY 0xFF545454    /**< KVE_FinishMesh's counts */
#define KVE_LOG_BLACK 0x00000000        /**< the version line, plain texture reports */
#define KVE_LOG_SECTION_BLUE 0x00D06600 /**< titles of the set-up sections */
/** @} */

/** Opens the log file, closing one already open; sets the columns to time and line.
 * @param fileName the file; null opens nothing
 * @param headerFlag 0 writes the HTML head first (a new file); 1 writes none
 * @param createFlag 1 creates or truncates the file; 0 writes from its start, creating it
 *        when missing; any other value opens nothing
 * @return 1 when a file is open, 0 when it could not be opened (nothing is logged). */
int KVE_OpenLogFile(const char* fileName, int headerFlag, int createFlag);
void KVE_SetLogColumns(int columnFlags); /**< replaces the column set: KVE_LOG_* bits */
/** Opens a nested section titled `title` (null or "" for none) in the packed colour
 * `color`; its heading shrinks 2 px a level. */
void KVE_BeginLogSection(const char* title, int color);
void KVE_EndLogSection(void); /**< closes the innermost section */
/** Writes one entry row and flushes it.
 * @param message the text, written as given
 * @param color packed colour of the text (KVE_LOG_RED, ...)
 * @param sourceLine the line column's value; 0 leaves the cell empty
 * @param reserved unused, pass 0
 * @param sourceUnit source file name for the unit column; its file part is written
 * @param procedure the procedure column's value, the public operation's name */
void KVE_WriteLogEntry(const char* message, int color, int sourceLine, int reserved, const char* sourceUnit,
                       const char* procedure);
void KVE_WriteLogBreak(void); /**< writes a line break, `<br>` */

/** @} */

/* ========================================================================== */
/* 3. Engine start-up and frames                                              */
/* ========================================================================== */

/** @defgroup engine Engine start-up and frames
 * The application opens a window, hands it to KVE_OpenScreen, which makes the OpenGL
 * context and starts every subsystem; each frame ends with KVE_FlipBuffers; KVE_Shutdown
 * releases everything. One engine, one screen per process. Shown in
 * @ref hello/hello.cpp "hello"; the frame loop with scripted frame times and resource
 * watching in @ref physics/main.cpp "the demonstration".
 * @{ */

/** Opens a centred application window with a title bar and sizing border.
 * @param title window title (UTF-8)
 * @param clientWidth client area width in pixels
 * @param clientHeight client area height in pixels
 * @param hidden 1 keeps it off screen (tests), 0 shows it
 * @return its number (1 or more), 0 when no window could be made. */
int KVE_OpenWindow(const char* title, int clientWidth, int clientHeight, int hidden);
/** The window's client area in pixels; both 0 for an unknown window. Either pointer may be null. */
void KVE_GetWindowClientSize(int window, int* width, int* height);
/** Gives the window its drawing surface and an OpenGL 3.3 context, then starts the
 * engine with KVE_Init (the log opens there).
 * @param window the window from KVE_OpenWindow
 * @param x left of the surface in client pixels
 * @param y top of the surface in client pixels
 * @param width surface width in pixels, 1 or more
 * @param height surface height in pixels, 1 or more
 * @param bitDepth colour and depth bits asked for (32)
 * @return the surface number, 0 when the engine already runs, the size is not positive,
 *         the window is unknown, no context could be made or KVE_Init failed (then the
 *         window is closed). */
int KVE_OpenScreen(int window, int x, int y, int width, int height, int bitDepth);
/** Starts every subsystem and makes the default resources, logging each step; run by
 * KVE_OpenScreen, not by applications. Returns 0, -1 when the driver lacks required
 * OpenGL functions ("Fail: OpenGL function not found: <name>" for each). */
int KVE_Init(void);
/** Fills the OpenGL function table; each required (<= 3.3) function the driver lacks
 * is logged "Fail: OpenGL function not found: <name>". */
void KVE_LoadGLFunctions(void);
void KVE_LoadWGLExtensions(void);       /**< fills the platform's context extension table */
int KVE_GetMissingGLFunctions(void);    /**< required (<= 3.3) entries the driver lacks */
void KVE_SetSwapInterval(int interval); /**< 0 = no wait for the retrace, 1 = wait; remembered */
int KVE_GetSwapInterval(void);          /**< the last value given to KVE_SetSwapInterval */
void KVE_ShowLogo(int show);            /**< 1: draw the logo badge at every flip (0 at start) */
/** Calls glBlendFunc with the two GL blend factors (GL_SRC_ALPHA, ...) and remembers them. */
void KVE_SetBlendFunc(int source, int destination);
/** Releases every resource and GPU object, stops the engine and closes the window.
 * The log stays open; does nothing when the engine is not running. */
void KVE_Shutdown(void);
int KVE_GetScreenWidth(void);  /**< the drawing surface's width in pixels */
int KVE_GetScreenHeight(void); /**< the drawing surface's height in pixels */
/** Gives the drawing surface a new size: every screen-sized render target, the screen
 * quads, the viewport, the projection's aspect and the 2D matrix follow. A width or
 * height of 0 (a minimised window) keeps the targets and makes KVE_RenderScene draw
 * nothing until a real size comes back. KVE_PeekMessage calls it on KVE_WM_SIZE.
 * @return 1; 0 before start-up, and 0 with "Fail: Screen size W x H is beyond the
 *         largest render target (N)!" for a size the driver cannot render to. */
int KVE_ResizeScreen(int width, int height);
/** Writes the frame being drawn (the default framebuffer) as a PNG, top row first.
 * @return 1 on success; 0 before start-up, for a null name, or with "Fail: Could not
 *         write the screenshot <file>" when the file cannot be written. */
int KVE_SaveScreenshot(const char* fileName);
/** 1: every flip keeps a copy of the frame it presents (for KVE_SavePresentedFrame);
 * 0: stop and drop the copy. */
void KVE_KeepPresentedFrame(int keep);
/** Writes the last kept frame as a PNG. @return 1 on success; 0 when none was kept, for a
 * null name, or with "Fail: Could not write the screenshot <file>". */
int KVE_SavePresentedFrame(const char* fileName);
/** The running program's directory, ending in a separator; engine-owned text. */
const char* KVE_GetExecutableDirectory(void);

/** Ends the frame: draws the logo badge when on, measures the frame time and the frame
 * rate, reloads changed resources when watching, swaps the buffers. Returns 0. */
int KVE_FlipBuffers(void);
float KVE_GetFrameTime(void);  /**< seconds between the last two flips (0 after the first) */
float KVE_GetFPS(void);        /**< frames per second over the last half-second window; 0 before */
int KVE_GetMilliseconds(void); /**< engine clock in milliseconds */
/** Fixes the frame time to `seconds` at every flip (scripted runs); 0 returns to the clock. */
void KVE_SetFixedFrameTime(float seconds);
/** Test hook: when not null, the flip reads `counter` (ticking `frequency` times a second)
 * instead of the platform's counter; null returns to the platform's. */
void KVE_SetCounterSource(uint64_t (*counter)(void), uint64_t frequency);

/** @name Resource reload
 * With watching on, the files resources were loaded from (definition files and the
 * textures, materials, sounds and emitters they define, images, mesh, OBJ and body files,
 * fonts, sound clips) are watched, and every flip reloads the resources of files that
 * changed, in place: numbers, names, pointers and every reference to a resource stay; a
 * sound's channel copies play on (looping ones on the new clip), and a Material block's
 * inline textures keep their numbers and their images are watched. A file is read
 * once it has been quiet for 0.1 s; one that fails to load (cut short, broken) leaves the
 * old resource as it was and writes "Fail: Reload failed, the old resource stays: <file>". */
/** @{ */
void KVE_SetResourceWatching(int watch); /**< 1: watch and reload at every flip; 0: off (the default) */
int KVE_ReloadChangedResources(void);    /**< reloads what changed now (watching on); resources reloaded */
/** @} */

/** @} */

/* ========================================================================== */
/* 4. Input                                                                   */
/* ========================================================================== */

/** @defgroup input Input
 * Window messages, keyboard and mouse snapshots, the cursor and joysticks. The message
 * handler records keys and buttons as they arrive; once per frame the application takes
 * the snapshots (KVE_UpdateKeyboard, KVE_UpdateMouse) and reads them, so a key tapped
 * between two frames still reads as hit. Shown in @ref hello/hello.cpp "hello" (the
 * message loop, keys) and @ref physics/demo_input.cpp "the demonstration" (mouse-look,
 * buttons, scripted input through KVE_HandleMessage).
 * @{ */

/** @name Message kinds
 * Engine message kinds in KVE_MESSAGE::message (the classic desktop numbering). */
/** @{ */
#define KVE_WM_SIZE 0x0005            /**< the surface was resized or minimised (KVE_SIZE_*) */
#define KVE_WM_CLOSE 0x0010           /**< the window is being closed: leave the loop */
#define KVE_WM_ERASEBKGND 0x0014      /**< background erase; swallowed */
#define KVE_WM_GETMINMAXINFO 0x0024   /**< size limits query; swallowed */
#define KVE_WM_NCLBUTTONDBLCLK 0x00A3 /**< double click on the title bar; swallowed */
#define KVE_WM_KEYDOWN 0x0100         /**< key down; wParam the virtual-key code */
#define KVE_WM_KEYUP 0x0101           /**< key up; wParam the virtual-key code */
#define KVE_WM_CHAR 0x0102            /**< typed character; wParam its code */
#define KVE_WM_SYSCOMMAND 0x0112      /**< system command; wParam a KVE_SC_* value */
#define KVE_WM_MOUSEMOVE 0x0200       /**< mouse moved; lParam x (low 16 bits), y (high) */
#define KVE_WM_LBUTTONDOWN 0x0201     /**< left button down */
#define KVE_WM_LBUTTONUP 0x0202       /**< left button up */
#define KVE_WM_LBUTTONDBLCLK 0x0203   /**< left button double click (counts as down) */
#define KVE_WM_RBUTTONDOWN 0x0204     /**< right button down */
#define KVE_WM_RBUTTONUP 0x0205       /**< right button up */
#define KVE_WM_RBUTTONDBLCLK 0x0206   /**< right button double click (counts as down) */
#define KVE_WM_MBUTTONDOWN 0x0207     /**< middle button down */
#define KVE_WM_MBUTTONUP 0x0208       /**< middle button up */
#define KVE_WM_MBUTTONDBLCLK 0x0209   /**< middle button double click (counts as down) */
#define KVE_WM_MOUSEWHEEL 0x020A      /**< wheel turned; notches x KVE_WHEEL_DELTA in wParam's high 16 bits */
#define KVE_WM_MOUSELEAVE 0x02A3      /**< the mouse left the window: buttons read up */
/** @} */

/** @name System commands
 * Carried in KVE_WM_SYSCOMMAND's wParam (its low four bits are ignored); these are swallowed. */
/** @{ */
#define KVE_SC_MINIMIZE 0xF020     /**< minimise */
#define KVE_SC_MAXIMIZE 0xF030     /**< maximise */
#define KVE_SC_RESTORE 0xF120      /**< restore */
#define KVE_SC_SCREENSAVE 0xF140   /**< start the screen saver */
#define KVE_SC_MONITORPOWER 0xF170 /**< monitor power saving */
/** @} */

/** @name Size kinds and wheel steps
 * KVE_WM_SIZE's wParam (its lParam holds the client width in the low 16 bits and the
 * height in the high ones) and one wheel notch. */
/** @{ */
#define KVE_SIZE_RESTORED 0  /**< a new size, or back from minimised */
#define KVE_SIZE_MINIMIZED 1 /**< minimised: nothing is drawn until restored */
#define KVE_WHEEL_DELTA 120  /**< one notch in the signed high 16 bits of KVE_WM_MOUSEWHEEL's wParam */
/** @} */

/** @name Mouse buttons
 * As the KVE_Mouse* readers number them. */
/** @{ */
#define KVE_MOUSE_LEFT 1   /**< left button */
#define KVE_MOUSE_RIGHT 2  /**< right button */
#define KVE_MOUSE_MIDDLE 4 /**< middle button */
/** @} */

/** @name Virtual-key codes
 * The classic desktop numbering, 0 .. 255. Letters and digits are their upper-case ASCII
 * codes: 'A' (0x41) to 'Z', '0' (0x30) to '9'. */
/** @{ */
#define KVE_VK_BACK 0x08    /**< Backspace */
#define KVE_VK_TAB 0x09     /**< Tab */
#define KVE_VK_RETURN 0x0D  /**< Enter */
#define KVE_VK_SHIFT 0x10   /**< either Shift key */
#define KVE_VK_CONTROL 0x11 /**< either Ctrl key */
#define KVE_VK_MENU 0x12    /**< either Alt key */
#define KVE_VK_PAUSE 0x13   /**< Pause */
#define KVE_VK_CAPITAL 0x14 /**< Caps Lock */
#define KVE_VK_ESCAPE 0x1B  /**< Escape */
#define KVE_VK_SPACE 0x20   /**< space bar */
#define KVE_VK_PRIOR 0x21   /**< Page Up */
#define KVE_VK_NEXT 0x22    /**< Page Down */
#define KVE_VK_END 0x23     /**< End */
#define KVE_VK_HOME 0x24    /**< Home */
#define KVE_VK_LEFT 0x25    /**< left arrow */
#define KVE_VK_UP 0x26      /**< up arrow */
#define KVE_VK_RIGHT 0x27   /**< right arrow */
#define KVE_VK_DOWN 0x28    /**< down arrow */
#define KVE_VK_SELECT 0x29  /**< Select */
#define KVE_VK_EXECUTE 0x2B /**< Execute */
#define KVE_VK_SNAPSHOT 0x2C /**< Print Screen */
#define KVE_VK_INSERT 0x2D  /**< Insert */
#define KVE_VK_DELETE 0x2E  /**< Delete */
#define KVE_VK_HELP 0x2F    /**< Help */
#define KVE_VK_LWIN 0x5B    /**< left system (logo) key */
#define KVE_VK_RWIN 0x5C    /**< right system (logo) key */
#define KVE_VK_APPS 0x5D    /**< context-menu key */
#define KVE_VK_SLEEP 0x5F   /**< Sleep */
#define KVE_VK_NUMPAD0 0x60 /**< keypad 0; keypad n is KVE_VK_NUMPAD0 + n */
#define KVE_VK_MULTIPLY 0x6A /**< keypad * */
#define KVE_VK_ADD 0x6B      /**< keypad + */
#define KVE_VK_SEPARATOR 0x6C /**< keypad separator */
#define KVE_VK_SUBTRACT 0x6D /**< keypad - */
#define KVE_VK_DECIMAL 0x6E  /**< keypad . */
#define KVE_VK_DIVIDE 0x6F   /**< keypad / */
#define KVE_VK_F1 0x70       /**< F1; Fn is KVE_VK_F1 + n - 1, up to F24 */
#define KVE_VK_NUMLOCK 0x90  /**< Num Lock */
#define KVE_VK_SCROLL 0x91   /**< Scroll Lock */
#define KVE_VK_LSHIFT 0xA0   /**< left Shift */
#define KVE_VK_RSHIFT 0xA1   /**< right Shift */
#define KVE_VK_LCONTROL 0xA2 /**< left Ctrl */
#define KVE_VK_RCONTROL 0xA3 /**< right Ctrl */
#define KVE_VK_LMENU 0xA4    /**< left Alt */
#define KVE_VK_RMENU 0xA5    /**< right Alt (AltGr) */
#define KVE_VK_BROWSER_BACK 0xA6      /**< browser Back */
#define KVE_VK_BROWSER_FORWARD 0xA7   /**< browser Forward */
#define KVE_VK_BROWSER_REFRESH 0xA8   /**< browser Refresh */
#define KVE_VK_BROWSER_STOP 0xA9      /**< browser Stop */
#define KVE_VK_BROWSER_SEARCH 0xAA    /**< browser Search */
#define KVE_VK_BROWSER_FAVORITES 0xAB /**< browser Favourites */
#define KVE_VK_BROWSER_HOME 0xAC      /**< browser Home */
#define KVE_VK_VOLUME_MUTE 0xAD       /**< volume mute */
#define KVE_VK_VOLUME_DOWN 0xAE       /**< volume down */
#define KVE_VK_VOLUME_UP 0xAF         /**< volume up */
#define KVE_VK_MEDIA_NEXT_TRACK 0xB0  /**< next track */
#define KVE_VK_MEDIA_PREV_TRACK 0xB1  /**< previous track */
#define KVE_VK_MEDIA_STOP 0xB2        /**< stop media */
#define KVE_VK_MEDIA_PLAY_PAUSE 0xB3  /**< play / pause */
#define KVE_VK_LAUNCH_MAIL 0xB4       /**< mail key */
#define KVE_VK_LAUNCH_MEDIA_SELECT 0xB5 /**< media player key */
#define KVE_VK_LAUNCH_APP1 0xB6 /**< usually the computer / file manager key */
#define KVE_VK_LAUNCH_APP2 0xB7 /**< usually the calculator key */
#define KVE_VK_OEM_1 0xBA      /**< the ;: key on a US layout */
#define KVE_VK_OEM_PLUS 0xBB   /**< the =+ key */
#define KVE_VK_OEM_COMMA 0xBC  /**< the ,< key */
#define KVE_VK_OEM_MINUS 0xBD  /**< the -_ key */
#define KVE_VK_OEM_PERIOD 0xBE /**< the .> key */
#define KVE_VK_OEM_2 0xBF      /**< the /? key */
#define KVE_VK_OEM_3 0xC0      /**< the backtick / tilde key */
#define KVE_VK_OEM_4 0xDB      /**< the [{ key */
#define KVE_VK_OEM_5 0xDC      /**< the backslash / bar key */
#define KVE_VK_OEM_6 0xDD      /**< the ]} key */
#define KVE_VK_OEM_7 0xDE      /**< the '" key */
#define KVE_VK_OEM_102 0xE2    /**< the extra key beside left Shift on ISO keyboards */
/** @} */

/** One window message: kind and its two parameter words. */
typedef struct KVE_MESSAGE {
    uint32_t message; /**< kind: KVE_WM_* */
    uint32_t wParam;  /**< first parameter: key code, button state, size kind, command */
    int32_t lParam;   /**< second parameter: packed position or size */
} KVE_MESSAGE;

/** Takes the next window event, hands it to KVE_HandleMessage and returns 1 with the
 * message (0 when none is waiting). Keys arrive as virtual-key codes; a left or right
 * Shift, Ctrl or Alt key reports its own code and, when it is the first of the pair to go
 * down or the last to come up, the generic code too (KVE_VK_SHIFT, ...). Auto-repeat
 * sends no further key-down. A resize calls KVE_ResizeScreen. The application leaves its
 * loop on KVE_WM_CLOSE. `message` may be null. */
int KVE_PeekMessage(KVE_MESSAGE* message);
/** The engine's message handler: records key, character, button, wheel and mouse
 * position messages into the raw input state. Scripted input is fed through it as well.
 * @return 1 when the message is swallowed, 0 when it goes on to default processing. */
int KVE_HandleMessage(uint32_t message, uint32_t wParam, int32_t lParam);

/** @name Snapshots
 * Taken once per frame, before reading. */
/** @{ */
void KVE_UpdateKeyboard(void); /**< copies the raw keys and character, clears hits and releases */
void KVE_UpdateMouse(void);    /**< movement since the last snapshot; re-centres a locked mouse */
void KVE_ResetMouse(void);     /**< clears clicks and wheel, takes the position with no movement */
/** @} */

/** @name Snapshot readers
 * Keys are virtual-key codes 0 .. 255, buttons KVE_MOUSE_*; anything else reads 0. */
/** @{ */
int KVE_KeyHit(int key);         /**< 1 if the key went down before the last snapshot */
int KVE_KeyDown(int key);        /**< 1 while held */
int KVE_KeyReleased(int key);    /**< 1 if it came up before the last snapshot */
int KVE_GetLastCharacter(void);  /**< low byte of the last character, 0 if none */
int KVE_MouseHit(int button);    /**< 1 if the button went down before the last snapshot */
int KVE_MouseDown(int button);   /**< 1 while held */
int KVE_MouseReleased(int button); /**< 1 if it came up before the last snapshot */
int KVE_MouseX(void);     /**< client pixels from the left */
int KVE_MouseY(void);     /**< client pixels from the top */
int KVE_MouseDX(void);    /**< pixels moved right since the previous snapshot */
int KVE_MouseDY(void);    /**< pixels moved down since the previous snapshot */
int KVE_MouseWheel(void); /**< notches turned since the previous snapshot, forward positive */
int KVE_MouseInRect(int x, int y, int width, int height); /**< 1 if x <= mouse x < x + width, same for y */
int KVE_MouseInCircle(int x, int y, float radius);        /**< 1 if strictly inside (client pixels) */
/** @} */

/** @name Cursor
 * `cursorVisible` 1 shows the cursor, 0 hides it. A locked mouse goes back to the centre
 * of the surface at every KVE_UpdateMouse, so movement is measured from there. */
/** @{ */
void KVE_LockMouse(int cursorVisible);   /**< locks the mouse to the surface's centre (mouse-look) */
void KVE_UnlockMouse(int cursorVisible); /**< ends the lock */
void KVE_ClipMouse(int cursorVisible);   /**< confines the cursor to the surface's rectangle */
void KVE_SetMousePosition(int x, int y); /**< client pixels; the snapshot follows the next message */
/** @} */

/** @name Joysticks
 * Up to 16, numbered 0 .. count - 1 in the order they were found; a number or axis out of
 * range reads 0 (the name ""). Polled by the application with KVE_UpdateJoysticks. */
/** @{ */
#define KVE_MAX_JOYSTICKS 16      /**< joysticks the engine keeps */
#define KVE_JOY_AXIS_X 0          /**< X axis */
#define KVE_JOY_AXIS_Y 1          /**< Y axis */
#define KVE_JOY_AXIS_Z 2          /**< Z axis (throttle) */
#define KVE_JOY_AXIS_R 3          /**< rudder / fourth axis */
#define KVE_JOY_AXIS_U 4          /**< fifth axis */
#define KVE_JOY_AXIS_V 5          /**< sixth axis */
#define KVE_JOY_BUTTON_DOWN 1     /**< button state bit: down */
#define KVE_JOY_BUTTON_HELD 2     /**< down for longer than the double-click time (500 ms) */
#define KVE_JOY_BUTTON_PRESSED 4  /**< went down in the last poll */
#define KVE_JOY_BUTTON_RELEASED 8 /**< came up in the last poll */

void KVE_InitJoysticks(void);   /**< finds the joysticks (run by KVE_Init) */
void KVE_UpdateJoysticks(void); /**< polls every joystick found */
int KVE_GetJoystickCount(void); /**< joysticks found */
void KVE_SetJoystickDeadZone(int joystick, int axis, float deadZone); /**< |value| below it reads 0 */
float KVE_GetJoystickAxis(int joystick, int axis);   /**< -1 .. 1; 0 for an axis the device lacks */
int KVE_GetJoystickButton(int joystick, int button); /**< button 0 .. 15: KVE_JOY_BUTTON_* bits */
float KVE_GetJoystickPOV(int joystick);        /**< hat in degrees: 0 centred, 360 ahead, 90 right ... */
const char* KVE_GetJoystickName(int joystick); /**< product name, "" if none; engine-owned */
/** @} */

/** @} */

/* ========================================================================== */
/* 5. Math                                                                    */
/* ========================================================================== */

/** @defgroup math Math
 * In-place operations on vectors, matrices, quaternions and packed colours. Every
 * operation works in place on its first argument unless it names a separate output, and
 * returns that output. Vectors, matrices and quaternions need no alignment. Addition and
 * subtraction keep w a point/direction flag: point + direction = point, point - point =
 * direction, point - direction = point. Nothing checks its input (null pointers are not
 * allowed where a result is written). World transforms compose parent first: world =
 * parent world x local. Shown in @ref physics/spawning.cpp "the demonstration" (throwing
 * along the camera's ray).
 * @{ */
KVE_Vector* KVE_SetVector(KVE_Vector* v, float x, float y, float z, float w);             /**< v := (x, y, z, w) */
KVE_Quaternion* KVE_SetQuaternion(KVE_Quaternion* q, float x, float y, float z, float w); /**< q := (x, y, z, w) */
KVE_Vector* KVE_AddVector(KVE_Vector* a, const KVE_Vector* b);    /**< a.xyz += b.xyz; w := aw + bw - aw*bw */
KVE_Vector* KVE_AddVectorXYZ(KVE_Vector* a, const KVE_Vector* b); /**< a.xyz += b.xyz; w unchanged */
KVE_Vector* KVE_SubVector(KVE_Vector* out, const KVE_Vector* a,
                          const KVE_Vector* b); /**< out.xyz := a.xyz - b.xyz; w := aw + bw - 2*aw*bw */
KVE_Vector* KVE_AddScaledVector(KVE_Vector* a, const KVE_Vector* b, float s); /**< a.xyz += s * b.xyz */
KVE_Vector* KVE_ScaleVector(KVE_Vector* a, float s);                         /**< a.xyz *= s */
KVE_Vector* KVE_NegateVector(KVE_Vector* a);                                 /**< a.xyz := -a.xyz */
float KVE_DotVector(const KVE_Vector* a, const KVE_Vector* b); /**< xyz dot product; b null: squared length */
KVE_Vector* KVE_NormalizeVector(KVE_Vector* a); /**< unit direction, w 0; a zero vector becomes (0, 0, 0, 0) */
KVE_Vector* KVE_TransformVector(KVE_Vector* v, const KVE_Matrix* m); /**< v := M v (w 1 moves, w 0 turns) */
KVE_Matrix* KVE_MultiplyMatrix(KVE_Matrix* out, const KVE_Matrix* a,
                               const KVE_Matrix* b); /**< out := A B; out may be A or B */
KVE_Matrix* KVE_IdentityMatrix(KVE_Matrix* m); /**< m := identity */
KVE_Matrix* KVE_InvertMatrix(KVE_Matrix* m); /**< m := m^-1; a singular m is left unchanged */
KVE_Matrix* KVE_CopyInvertMatrix(KVE_Matrix* out, const KVE_Matrix* m); /**< out := m^-1 (a singular m: copied) */
KVE_Quaternion* KVE_MultiplyQuaternion(KVE_Quaternion* p, const KVE_Quaternion* q); /**< p := p (x) q, Hamilton */
KVE_Quaternion* KVE_MultiplyQuaternionTo(KVE_Quaternion* out, const KVE_Quaternion* p,
                                         const KVE_Quaternion* q); /**< out := p (x) q; out may be p or q */
KVE_Quaternion* KVE_ConjugateQuaternion(KVE_Quaternion* q); /**< q := (-x, -y, -z, w), the inverse of a unit q */
/** Rotation by ax about X, then ay about Y, then az about Z (= qz (x) qy (x) qx); degrees
 * unless `radians` is 1. */
KVE_Quaternion* KVE_EulerToQuaternion(KVE_Quaternion* out, float ax, float ay, float az, int radians);
KVE_Matrix* KVE_QuaternionToMatrix(const KVE_Quaternion* q, KVE_Matrix* out); /**< rotation of a unit q */
/** World matrix of a camera at `eye` looking toward `target` (its inverse is the view
 * matrix): columns s, u, -f and eye with f = |target - eye|, s = |f x up|, u = s x f. */
KVE_Matrix* KVE_LookAtMatrix(KVE_Matrix* out, const KVE_Vector* eye, const KVE_Vector* target,
                             const KVE_Vector* up);
KVE_Vector* KVE_ColorToVector(KVE_Vector* out, int color); /**< 0xAABBGGRR / 255; alpha 0 reads as 255 */
int KVE_VectorToColor(const KVE_Vector* v); /**< each component clamped to 0..1, x 255 rounded; red lowest */
float KVE_MaxOf3(float a, float b, float c); /**< the largest of the three */

/** @name Temporary vectors
 * For nested expressions: a per-thread stack of 128. A thread's pool starts with no slot
 * free; KVE_Init frees all 128 of its thread's pool. An operation that takes temporaries
 * releases them before it returns. Slots belong to the pool: never free them. */
/** @{ */
KVE_Vector* KVE_TakeTempVector(float x, float y, float z, float w); /**< next free slot, filled; null when empty */
void KVE_ReleaseTempVectors(int count); /**< gives back the `count` latest taken (at most all taken) */
KVE_Vector* KVE_PeekTempVector(int k);  /**< the slot taken k takes ago (0 = latest); null if none */
void KVE_ResetTempVectors(void);        /**< frees all 128 slots of the calling thread's pool */
/** @} */

/** @} */

/* ========================================================================== */
/* 6a. Definition files                                                       */
/* ========================================================================== */

/** @defgroup definitions Definition files
 * The nested key/value text that textures, materials, sounds, meshes, bodies and
 * emitters are described in ("Name: value;", "Kind: name { ... }", lists "a, b, c",
 * quoted 'texts', // and block comments), parsed into trees of DefinitionNode, with the
 * path lookup and value readers the loaders use. Names compare exactly; the readers'
 * keywords (true, none, ...) in any case. Shown in @ref lit_scene/lit_scene.cpp
 * "lit_scene" (materials from LitScene.kvd) and @ref particles_sound/particles_sound.cpp
 * "particles_sound" (emitters from Fire.kvd and Fountain.kvd).
 * @{ */

/** A node of a parsed definition tree (name, value, ordered children). Trees stay in the
 * engine's list until freed. Texts returned by the readers below (values, directories)
 * belong to the tree and stay valid until their node or its tree is freed; a default
 * text passed in is returned as it was given. Lookup paths use '\' ("\File" is a direct
 * child, "Emission\Size" searches the whole subtree); file paths accept '\' and '/'. */
typedef struct DefinitionNode DefinitionNode;

/** @name Kind mask bits
 * Which blocks KVE_ParseDefinitionFiles and KVE_LoadDefinitionNode hand to their loaders. */
/** @{ */
#define KVE_DEFINITION_TEXTURE 1  /**< Texture blocks */
#define KVE_DEFINITION_MATERIAL 2 /**< Material blocks */
#define KVE_DEFINITION_SOUND 8    /**< Sound blocks */
#define KVE_DEFINITION_ALL 15     /**< every kind */
/** @} */

/** Parses a file, every entry of a directory (in name order), or the entries of a
 * directory that match a pattern with '*' and '?' in its file part (matching
 * sub-directories are walked whole), and loads their Texture, Material and Sound blocks
 * whose bits are in `kindMask`. Logs "Parse DefinitionFile: <path>" for each file. A file
 * named by path or pattern that cannot be read logs "Fail: File not found!" and the
 * reason; one with no such block logs "Fail: <file>: ..."; one cut short inside a block
 * loads what it holds with an orange "Warning: <file>: ...".
 * The trees stay in the engine's list. */
void KVE_ParseDefinitionFiles(const char* path, int kindMask);
/** Reads and parses a file into a new tree, which becomes the current definition.
 * @return its root, or null when the file cannot be read (nothing is logged). */
DefinitionNode* KVE_ReadDefinitionFile(const char* path);
/** Parses text (up to its NUL) into a new root whose directory is `directory` with one
 * trailing separator. Null only when memory runs out or the text exceeds 2 GiB. */
DefinitionNode* KVE_ParseDefinitionText(const char* text, const char* directory);
/** Hands the node, or every Texture/Material/Sound block below it, to its kind's loader
 * (with an automatic number) when its bit is in `kindMask`.
 * @return the last loader's result (the record), null when none was called. */
void* KVE_LoadDefinitionNode(DefinitionNode* node, int kindMask);
/** The node `path` reaches from `start` whose value equals `value` (null or "" = any);
 * with no such node, `start` when `fallback` is 1, else null. A null `start` gives null. */
DefinitionNode* KVE_FindDefinitionNode(DefinitionNode* start, const char* path, const char* value, int fallback);
/** The node's value, or `defaultText` for a null node. */
const char* KVE_GetDefinitionString(const DefinitionNode* node, const char* defaultText);
/** The node's value as an integer, `defaultValue` for a null node: true/enable 1,
 * false/disable/none 0, default -1 (any case), else decimal, $hex or \%binary up to the
 * first other character; text with no digits gives 0. */
int KVE_GetDefinitionInteger(const DefinitionNode* node, int defaultValue);
/** The node's value as a float ('.' decimal point, any locale; Infinity and NaN read),
 * `defaultValue` for a null node; text that is no number gives 0. */
float KVE_GetDefinitionFloat(const DefinitionNode* node, float defaultValue);
/** A list fills x, y, z (a missing element keeps out's component); a single number v gives
 * (0, 0, -v); no node gives (x, y, z). out->w is never touched. */
void KVE_GetDefinitionVector(const DefinitionNode* node, KVE_Vector* out, float x, float y, float z);
/** out[0..1] = lower, upper from a list of two; a single number v gives (v, v); no node
 * gives (min, max), where a max of KVE_DEFAULT_FLOAT means min. */
void KVE_GetDefinitionRange(const DefinitionNode* node, float* out, float min, float max);
/** Packed colour (red in the lowest byte); `out` (4 floats 0..1, may be null) gets the
 * components. A list is r, g, b[, a] as bytes 0..255, or as 0..1 floats when written with
 * a '.'; a single value is a packed integer ("$0000FF" is opaque red); no node gives
 * `defaultColor`. */
int KVE_GetDefinitionColor(const DefinitionNode* node, float* out, int defaultColor);
const char* KVE_GetDefinitionDirectory(const DefinitionNode* node); /**< directory of the node's file, "" if none */
/** Child `index`, 0-based; a negative index counts from the end (-1 the last); null out of range. */
DefinitionNode* KVE_GetDefinitionChild(const DefinitionNode* node, int index);
DefinitionNode* KVE_NextDefinitionSibling(const DefinitionNode* node);         /**< null after the last */
int KVE_CountDefinitionChildren(const DefinitionNode* node, const char* name); /**< of that name; null or "": all */
/** Frees the whole tree (wholeTree 1, or a root) and returns null, or frees one node with
 * its subtree, takes it out of its parent and returns the parent. */
DefinitionNode* KVE_FreeDefinition(DefinitionNode* node, int wholeTree);
void KVE_FreeCurrentDefinition(void); /**< frees the tree read last by KVE_ReadDefinitionFile */

/** @} */

/* ========================================================================== */
/* 6b. Shader programs                                                        */
/* ========================================================================== */

/** @defgroup shaders Shader programs
 * GLSL 330 programs in the shader registry: stages compiled from files or memory (one grey
 * log line each, "<name> [VertexShader]: <compile log>"), linked with the engine's
 * attribute locations, bound to the engine's uniform blocks, with their plain uniforms
 * registered by index, and appended to the shader queues the renderer draws from. The
 * engine builds its own programs with KVE_BuildReflectedShader; an application chooses
 * among them by material kind (KVE_SHADER_*), as @ref lit_scene/lit_scene.cpp "lit_scene"
 * does through its definition file. Operations that take a `shader` number log
 * "Fail: Shader not found!" and return 0 for a number with no program.
 * @{ */

/** @name Uniform type codes
 * Of KVE_AddShaderUniform; codes that share a list share a row. */
/** @{ */
#define KVE_UNIFORM_BOOL 0    /**< bool: integer list */
#define KVE_UNIFORM_INT 1     /**< int: integer list */
#define KVE_UNIFORM_SAMPLER 2 /**< sampler2D, samplerCube, ...: sampler list */
#define KVE_UNIFORM_UINT 3    /**< uint: integer list */
#define KVE_UNIFORM_FLOAT 4   /**< float: float list */
#define KVE_UNIFORM_VEC2 5    /**< vec2: vec2/vec3 list */
#define KVE_UNIFORM_VEC3 6    /**< vec3: vec2/vec3 list */
#define KVE_UNIFORM_VEC4 7    /**< vec4: vec4 list */
#define KVE_UNIFORM_MAT3 8    /**< mat3: mat3 list */
#define KVE_UNIFORM_MAT4 9    /**< mat4: mat4 list */
/** @} */

/** One registered plain uniform: GL location and a byte range user code may attach. */
typedef struct ShaderUniform {
    int location; /**< from glGetUniformLocation on the first program; -1 when inactive */
    int count;    /**< array count, 1 in every registration the engine makes */
    int start;    /**< offset given at registration */
    int end;      /**< offset + size */
} ShaderUniform;

typedef struct ShaderUniformTables ShaderUniformTables; /**< engine-internal uniform tables */

/** A shader program record of the shader registry; owned by the engine, read-only for
 * the application. */
typedef struct ShaderProgram {
    int number;                  /**< registry number: 0..65535, or automatic (0x10000 or more) */
    const char* name;            /**< "" when unnamed; prefixes the program's log lines */
    int queue;                   /**< shader queue it was last appended to; -1 before that */
    int flag;                    /**< creation flag: 0/1 standard bindings, 2 with vPosition */
    int kind;                    /**< built-in program kind, 0 until set */
    unsigned int program;        /**< GL program object */
    unsigned int secondProgram;  /**< optional second GL program object, 0 when none */
    ShaderUniformTables* uniforms; /**< registration tables, owned by the engine */
} ShaderProgram;

/** Registry entry only (no GL objects). A name already in use releases the older program
 * ("Loaded double: First Shader has been released!").
 * @param id in: wanted number (0..65535) or -1; out: the number given
 * @param flag the record's flag (KVE_LinkShader's bindings)
 * @param name "" or null for none
 * @return the record; null with "Fail: This ID is not available!" for a number above
 *         65535 (id unchanged). */
ShaderProgram* KVE_CreateShaderListEntry(int* id, int flag, const char* name);
/** Registry entry (as KVE_CreateShaderListEntry) with its GL program, and a second one
 * when `withSecondProgram` is 1. Null on failure. */
ShaderProgram* KVE_CreateShader(int id, int flag, const char* name, int withSecondProgram);
ShaderProgram* KVE_GetShader(int shader); /**< number or automatic number; null when none */
/** Compiles the file as a vertex stage of the first program and attaches it; a failed
 * compile is logged in the stage's line and attached all the same.
 * @return 1 when the file was read, 0 when it could not be opened (nothing logged). */
int KVE_LoadVertexShader(int shader, const char* fileName);
/** As KVE_LoadVertexShader, for a fragment stage. */
int KVE_LoadFragmentShader(int shader, const char* fileName);
/** Compiles the vertex stage text [start, end) (no NUL needed) and attaches it, to the
 * second program when `toSecondProgram` is 1. Returns 0; a null or reversed range logs
 * "Fail: Invalid shader text!" and attaches nothing. */
int KVE_CatchVertexShader(int shader, const char* start, const char* end, int toSecondProgram);
/** As KVE_CatchVertexShader, for a fragment stage. */
int KVE_CatchFragmentShader(int shader, const char* start, const char* end, int toSecondProgram);
/** "Compiling successfull!" (an empty log and a good compile), "Compiling failed!" (no
 * log, or not a shader object) or the driver's info log (at most 16383 bytes); a static
 * text valid until the next call. */
const char* KVE_GetShaderCompileLog(unsigned int shaderObject);
/** Binds "vVertex" at attribute 0 (flag 2: "vPosition" at 7 too) and "vFragColor" at
 * output 0 (flags 0..2 only), then links; a failed link logs "<name> [Link]: <log>".
 * Returns 0. */
int KVE_LinkShader(int shader);
void KVE_BindShaderNormal(int shader);    /**< "vNormal" at attribute 1 (before linking) */
void KVE_BindShaderTexCoord0(int shader); /**< "vTexCoord0" at 2 */
void KVE_BindShaderTexCoord1(int shader); /**< "vTexCoord1" at 3 */
void KVE_BindShaderColor(int shader);     /**< "vColor" at 4 */
void KVE_BindShaderTangent(int shader);   /**< "vTangent" at 6 */
void KVE_BindShaderSize(int shader);      /**< "fSize" at 8 */
/** Binds the named block to binding point `blockNumber` and that point to its uniform
 * buffer (0..4: Projection, Model, Material, Light, Misc). Returns 0. */
int KVE_BindShaderBlock(int shader, const char* blockName, int blockNumber);
/** Registers a plain uniform of the first program under `index`.
 * @param shader the program's number
 * @param type a KVE_UNIFORM_* code
 * @param name the uniform's name in the GLSL text
 * @param index registration index, 0..4095; an index in use is taken over
 * @param toSecondProgram 1 files it in the second program's table
 * @param size bytes of the range attached to it (0 in the engine's own)
 * @param offset start of that range (0 in the engine's own)
 * @param count array count (1)
 * @return its location (-1 when inactive); 0 with "Fail: Unknown uniform type: <type>" or
 *         "Fail: Uniform index out of range: <index>" (nothing registered). */
int KVE_AddShaderUniform(int shader, int type, const char* name, int index, int toSecondProgram, int size,
                         int offset, int count);
/** Sets the byte range and count of the uniform registered under `index`. Returns 0. */
int KVE_SetShaderUniformRange(int shader, int index, int size, int offset, int count);
int KVE_GetShaderUniformOffset(int shader, int index); /**< bytes; 0 when not registered */
int KVE_GetShaderUniformSize(int shader, int index);   /**< bytes; 0 when not registered */
int KVE_GetUniformLocation(unsigned int program, const char* name); /**< glGetUniformLocation on a GL program */
int KVE_SetShaderKind(int shader, int kind);                       /**< sets the record's kind; 0 */
/** Appends the program to shader queue `queue` (0..7).
 * @return 1 when appended; 0 when it was already there, for a null program, or with
 *         "Fail: This queue is not available!" for a queue that does not exist. */
int KVE_QueueShader(int queue, ShaderProgram* shader);
int KVE_ReleaseShader(int shader); /**< GL objects, registry slot, name, queue entry; 0 */
/** Builds a program from two GLSL texts, reading attribute and output locations, the
 * engine's uniform blocks and the plain uniforms out of their declarations (a uniform's
 * index is its place among those of the vertex, then the fragment text); stores it as the
 * built-in program of `kind` and appends it to `queue` (-1: none).
 * @return the record; null with "Fail: Invalid shader text!" for a null or reversed
 *         range. */
ShaderProgram* KVE_BuildReflectedShader(int kind, int flag, int queue, const char* vertexStart,
                                        const char* vertexEnd, const char* fragmentStart,
                                        const char* fragmentEnd, const char* name);

/** @} */

/* ========================================================================== */
/* 6c. Textures                                                               */
/* ========================================================================== */

/** @defgroup textures Textures and images
 * GL textures in the texture registry, made from PNG or JPEG files, Texture blocks of
 * definition files (which also read the engine's raw ".kvt" RGB files), image files held
 * in memory and six-face cube maps; and decoded images in the image registry. Shown in
 * @ref hello/hello.cpp "hello" (a texture from a file drawn as a sprite) and
 * @ref lit_scene/lit_scene.cpp "lit_scene" (Texture blocks of a definition file).
 * @{ */

/** @name GL values
 * The GL values the texture operations take and report. */
/** @{ */
#define KVE_GL_NEAREST 0x2600          /**< GL_NEAREST filter */
#define KVE_GL_LINEAR 0x2601           /**< GL_LINEAR filter */
#define KVE_GL_TEXTURE_2D 0x0DE1       /**< GL_TEXTURE_2D target */
#define KVE_GL_TEXTURE_CUBE_MAP 0x8513 /**< GL_TEXTURE_CUBE_MAP target */
/** @} */

typedef struct KVE_TEXTURE KVE_TEXTURE; /**< a GL texture in the texture registry (opaque) */
typedef struct KVE_IMAGE KVE_IMAGE;     /**< a decoded image in the image registry (opaque) */

/** @name Textures
 * `filter` is a GL filter for minification and magnification, or KVE_DEFAULT for the
 * default texture filter; `mipmaps` is the highest mipmap level (0: none; mipmapped
 * textures filter trilinearly whatever `filter` says). A `texture` argument is a number
 * (0..65535) or an automatic number; `id` asks for one (-1: automatic), and a number or
 * non-empty name in use releases the older texture ("Loaded double: First Texture has
 * been released!"). Loaders log "Load Texture: <file>" (or "Texture: <name>") and "OK",
 * and return the record, owned by the registry; on failure they return null after
 * "Fail: Image not found!" and "Fail: <file>: <reason>", and a texture already
 * registered under the same name or number stays untouched. Readers of a texture that
 * does not exist return 0, "" or null. */
/** @{ */
/** Registry entry only (no GL texture).
 * @param id in: wanted number (0..65535) or -1; out: the number given
 * @param name "" or null for none
 * @return the record; null with "Fail: This ID is not available!" for a number above
 *         65535 (id unchanged). */
KVE_TEXTURE* KVE_CreateTextureListEntry(int* id, const char* name);
/** A 2D texture from a PNG or JPEG file, repeating, anisotropic where the driver allows;
 * an empty or null name takes the file part of fileName. */
KVE_TEXTURE* KVE_LoadTextureFile(int id, const char* fileName, int filter, int mipmaps, const char* name);
/** A Texture block (the first "Texture" node with that value below `node`, else `node`
 * itself): "\Filter" LINEAR (else nearest), "\Mipmaps" (highest level; true is 1),
 * "\File" relative to the definition's directory; a ".kvt" file is the engine's raw RGB
 * format. The block's value names the texture. A null node logs "FAIL: Texture Node not
 * found!" and returns null. */
KVE_TEXTURE* KVE_LoadTextureDefinition(int id, DefinitionNode* node, const char* name);
/** A 2D texture from an image file held in memory (`size` bytes at `data`, not kept); no
 * mipmaps, no anisotropy; a 24-bit image becomes opaque. */
KVE_TEXTURE* KVE_CatchTexture(int id, const void* data, int size, int filter, const char* name);
/** A cube map from six image files in memory (`sizes[i]` bytes at `faces[i]`), faces +X,
 * -X, +Y, -Y, +Z, -Z; all square and of one size, else null with "Fail: Image not
 * found!" naming the face. */
KVE_TEXTURE* KVE_CatchCubeMapTexture(int id, const void* const faces[6], const int sizes[6], int filter,
                                     int mipmaps, const char* name);
/** Uploads image `image` to the bound texture, top row first: target 0 = GL_TEXTURE_2D
 * (with a layer other than KVE_DEFAULT: that layer of the bound GL_TEXTURE_2D_ARRAY), else
 * a cube face target. Nothing for an unknown image. */
void KVE_UploadTextureImage(int image, int target, int layer);
KVE_TEXTURE* KVE_GetTexture(int texture);             /**< null when there is none */
int KVE_GetTextureNumber(const KVE_TEXTURE* texture); /**< its number; -1 for null */
/** Deletes the GL texture and the record; material slots naming it become empty. Returns 0. */
int KVE_ReleaseTexture(int texture);
/** Level 0 (the +X face of a cube map) as a 32-bit image: a new one for image -1, else
 * under that number; rows bottom to top when flip is 1. Null when there is none. */
KVE_IMAGE* KVE_GetTextureImage(int texture, int image, int flip);
void KVE_SetTextureFilter(int filter); /**< the default texture filter (GL_LINEAR at start) */
int KVE_GetTextureFilter(void);        /**< the default texture filter */
const char* KVE_GetTextureName(int texture);  /**< "" when there is none */
int KVE_GetTextureWidth(int texture);         /**< pixels */
int KVE_GetTextureHeight(int texture);        /**< pixels */
unsigned KVE_GetTextureObject(int texture);   /**< the GL texture object */
/** Sets the part of the texture that sprites draw, in pixels; width or height -1 takes
 * the texture's. */
void KVE_SetTextureRectangle(int texture, int x, int y, int width, int height);
/** Level 0 as width*height*4 RGBA bytes, top row first, in a new block the caller frees
 * with free(); null when there is none. */
unsigned char* KVE_CopyTexturePixels(int texture);
/** @} */

/** @name Images
 * PNG or JPEG decoded into 8-bit RGB or RGBA pixels, kept in the image registry by number
 * (`id` 0..65535 or -1 for automatic). Readers of an image that does not exist return 0. */
/** @{ */
/** Decodes an image file. @return the record; null with "Fail: Image not found! <reason>". */
KVE_IMAGE* KVE_LoadImage(int id, const char* fileName);
/** Decodes an image file held in memory (`size` bytes at `data`, not kept).
 * @return the record; null with "Fail: Image not found! <reason>". */
KVE_IMAGE* KVE_CatchImage(int id, const void* data, int size);
int KVE_GetImageNumber(const KVE_IMAGE* image); /**< -1 for null */
int KVE_GetImageWidth(int image);               /**< pixels */
int KVE_GetImageHeight(int image);              /**< pixels */
int KVE_GetImagePoint(int image, int x, int y); /**< packed colour from the top-left; 0 outside */
int KVE_SaveImage(int image, const char* fileName); /**< as PNG; 1 on success, 0 otherwise */
void KVE_FreeImage(int image); /**< releases the image */
/** @} */

/** @} */

/* ========================================================================== */
/* 6d. Materials                                                              */
/* ========================================================================== */

/** @defgroup materials Materials
 * How a surface is drawn: the built-in program (by kind, KVE_SHADER_*), four texture
 * slots and a cube map, the values of the Material uniform block and the render state.
 * Made in code or from Material blocks of definition files. A material holds its textures
 * by number and does not own them. Operations that take a `material` number do nothing
 * (getters return 0, -1 or "") for a number with no material, and log nothing. Shown in
 * @ref lit_scene/lit_scene.cpp "lit_scene" (from LitScene.kvd) and
 * @ref pyramid/pyramid.cpp "pyramid" (made in code, coloured).
 * @{ */

/** A material: the built-in program that draws a surface (by kind, KVE_SHADER_*), four
 * texture slots and a cube map (texture numbers, -1 when empty), the values of the
 * Material uniform block and the render state. Every material is listed under its
 * program in the shader queues from its creation until its release. Opaque. */
typedef struct KVE_MATERIAL KVE_MATERIAL;

#define KVE_NO_TEXTURE (-2) /**< KVE_CreateMaterial: leave slot 0 empty */

/** Registry entry only, not listed in the shader queues. A name already in use releases
 * the older material ("Loaded double: First Material has been released!").
 * @param id in: wanted number (0..65535) or -1; out: the number given
 * @param name "" or null for none
 * @return the record; null with "Fail: This ID is not available!" for a number above
 *         65535 (id unchanged). */
KVE_MATERIAL* KVE_CreateMaterialListEntry(int* id, const char* name);
/** A material of program kind `kind` with the defaults: white, shine 1, hardness 1,
 * refraction 0.05, depth mask and culling on, blend SRC_ALPHA / ONE_MINUS_SRC_ALPHA, the
 * default cube map.
 * @param id wanted number (0..65535) or -1 for automatic
 * @param texture -1: slots 0-2 get the default textures; KVE_NO_TEXTURE: no texture; else
 *        slot 0 gets that texture
 * @param kind program kind, KVE_SHADER_*
 * @param name "" for none
 * @return the record, null on failure (as KVE_CreateMaterialListEntry). */
KVE_MATERIAL* KVE_CreateMaterial(int id, int texture, int kind, const char* name);
/** A new material with every field of `source` but number and name; null when the source
 * does not exist or the entry cannot be made. */
KVE_MATERIAL* KVE_CopyMaterial(int source, int id, const char* name);
/** Copies every field of `source` but number and name into `target`; 1 when copied, 0 when
 * either does not exist or they are the same. */
int KVE_CopyMaterialInto(int source, int target);
/** A Material block (the first "Material" node of that name below `node`): "\Color",
 * "\Shader" (a keyword: TEXTURED, NORMALMAP, ...), "\Texture[0]".."\Texture[3]" (a loaded
 * texture's name, or a texture block), "\BlendingMode" (two GL factor names),
 * "\Shine", "\ShineColor", "\Hardness" ("\Blend" for SOFTPARTICLE), "\Reflection",
 * "\Refraction" (x 0.01), "\SurfaceScattering", "\DepthMask", "\BackFaceCulling",
 * "\Wireframe". Logs "Material: <name>" and "OK". Values are used as written, except one
 * that is not finite (the key's default is used) or would break drawing (beyond 1e12, a
 * negative Hardness), each replaced with an orange "Warning: <file>: Material <name>:
 * <key> ..."; a texture that is not loaded leaves its slot empty with "Texture[i] not
 * found: <name>".
 * @return the record; null with "FAIL: Material Node Not found!" when there is no such
 *         block. */
KVE_MATERIAL* KVE_LoadMaterialDefinition(int id, DefinitionNode* node, const char* name);
KVE_MATERIAL* KVE_GetMaterial(int material);             /**< null when there is none */
int KVE_GetMaterialNumber(const KVE_MATERIAL* material); /**< -1 for null */
int KVE_FindMaterial(const char* name);                  /**< number of the material of that name; -1 if none */
/** Releases the material and takes it out of the shader queues. Returns 0. Objects that
 * used it keep no material (not drawn until given another) and the log says how many. */
int KVE_ReleaseMaterial(int material);
int KVE_RegisterMaterial(int material);   /**< 1 when newly listed under its program */
int KVE_UnregisterMaterial(int material); /**< 1 when taken out of its program's list */
void KVE_SetMaterialKind(int material, int kind);     /**< built-in program of the kind; objects follow */
void KVE_SetMaterialShader(int material, int shader); /**< any program; objects follow */
int KVE_GetMaterialShader(int material);              /**< its program's number; -1 without one */
const char* KVE_GetMaterialName(int material);        /**< "" when there is none */
void KVE_SetMaterialTexture(int material, int slot, int texture); /**< slot 0..3; texture < 0 empties */
int KVE_GetMaterialTexture(int material, int slot);               /**< texture number; -1 when empty */
void KVE_SetMaterialCubeMap(int material, int texture);           /**< environment cube map (a texture number) */
int KVE_GetMaterialCubeMap(int material);                         /**< cube map texture number; -1 when none */
void KVE_SetMaterialColor(int material, int color); /**< packed; alpha byte 0 means opaque */
int KVE_GetMaterialColor(int material);             /**< packed colour */
void KVE_SetMaterialShine(int material, float shine); /**< highlight intensity (1 by default) */
float KVE_GetMaterialShine(int material);             /**< highlight intensity */
void KVE_SetMaterialShineColor(int material, int color); /**< packed highlight colour */
int KVE_GetMaterialShineColor(int material);             /**< packed highlight colour */
void KVE_SetMaterialHardness(int material, float hardness); /**< highlight exponent; soft particles: blend distance */
float KVE_GetMaterialHardness(int material);                /**< highlight exponent */
void KVE_SetMaterialReflection(int material, float reflection); /**< reflection strength, 0 .. 1 */
float KVE_GetMaterialReflection(int material);                  /**< reflection strength */
void KVE_SetMaterialRefraction(int material, float refraction); /**< kept x 0.01 */
float KVE_GetMaterialRefraction(int material);                  /**< as given (kept x 100) */
void KVE_SetMaterialEmission(int material, float emission); /**< self-lit share (glow), 0 .. 1 */
float KVE_GetMaterialEmission(int material);                /**< self-lit share */
void KVE_SetMaterialSurfaceScattering(int material, float scattering); /**< surface scattering strength */
void KVE_SetMaterialDepthMask(int material, int depthMask);      /**< 1 writes depth, 0 does not */
void KVE_SetMaterialBackFaceCulling(int material, int culling);  /**< 1 culls back faces, 0 draws both */
void KVE_SetMaterialBlending(int material, int source, int destination); /**< GL blend factors */
void KVE_SetMaterialParameter(int material, int index, float value);    /**< program parameter, index 0..3 */

/** @} */

/* ========================================================================== */
/* 7. Meshes                                                                  */
/* ========================================================================== */

/** @defgroup meshes Meshes
 * Indexed triangle lists in the mesh registry: read from ".kvm" files (definition
 * syntax: Mesh, Vertices, Normals, TextureCoords, Faces blocks) or Wavefront OBJ files,
 * generated (spheres, grass) or built vertex by vertex and finished into GL buffers.
 * Building in code: create, set the vertex count, set vertices (normals, texture
 * coordinates, groups), set the triangle count, set triangles, KVE_FinishMesh, then
 * KVE_CalculateMeshTangents for normal-mapped materials. Loaders log "Load Mesh: <file>"
 * and "OK"; a file that fails leaves any mesh of the same number or name as it was.
 * Operations that take a `mesh` number do nothing (readers give 0, -1 or null) for a
 * number with no mesh. Shown in @ref lit_scene/lit_scene.cpp "lit_scene" (".kvm" and OBJ
 * files) and @ref solar_system/solar_system.cpp "solar_system" (generated spheres).
 * @{ */

/** A mesh: an indexed triangle list kept in memory and, once finished, in one vertex
 * array object with an interleaved vertex buffer and a 32-bit index buffer. Operations
 * take the mesh's number (explicit 0..65535 or automatic); the record's own fields are
 * read-only for the application, and the record belongs to the registry. */
typedef struct KVE_MESH {
    int number;       /**< registry number */
    const char* name; /**< "" for unnamed meshes; owned by the engine */
} KVE_MESH;

/** One vertex as stored in memory and in the vertex buffer: 52 bytes, attribute
 * locations 0 position, 1 normal, 6 tangent, 2 texture coordinate, 7 group index. */
typedef struct KVE_MESH_VERTEX {
    float position[4]; /**< x, y, z, w (w 1) at byte 0 */
    float normal[3];   /**< byte 16 */
    float tangent[3];  /**< byte 28; zero until KVE_CalculateMeshTangents */
    float texCoord[2]; /**< u, v at byte 40 */
    int32_t group;     /**< vertex group index at byte 48 */
} KVE_MESH_VERTEX;

/** Registry entry only (no vertices, no GL objects). A name already in use releases the
 * older mesh ("Loaded double: First Mesh has been released!").
 * @param id in: wanted number (0..65535) or -1; out: the number given
 * @param name "" or null for none
 * @return the record; null with "Fail: This ID is not available!" for a number above
 *         65535 (id unchanged). */
KVE_MESH* KVE_CreateMeshListEntry(int* id, const char* name);
KVE_MESH* KVE_CreateMesh(int id, const char* name); /**< new empty mesh (id -1: automatic); null on failure */
/** Reads and finishes a ".kvm" mesh file; an empty or null name takes the file part of
 * fileName. Tangents are computed when the file says "CalculateMeshTangents: true".
 * @return the mesh; null with "Fail: File not found!" and "Fail: <file>: <reason>" for a
 *         file that cannot be read or holds no Mesh block, and with "Fail: <file>: ..."
 *         for one that is too large, has no triangles or a face naming a missing vertex.
 *         A file cut short loads what it holds, with an orange "Warning: <file>: ...". */
KVE_MESH* KVE_LoadMesh(int id, const char* fileName, const char* name);
/** Writes the mesh as ".kvm" text under meshName (null: the mesh's own name); positions,
 * normals, texture coordinates and faces. Nothing is written, and nothing logged, for an
 * unknown mesh or a file that cannot be created. */
void KVE_SaveMesh(int mesh, const char* fileName, const char* meshName);
/** @name Building
 * Counts beyond the mesh limits (2^31 bytes) or negative log "Fail: Invalid count <n>!";
 * a vertex or triangle index outside the arrays logs "Fail: Vertex index <index> out of
 * range!" or "Fail: Triangle index <index> out of range!" and changes nothing. */
/** @{ */
int KVE_SetMeshVertexCount(int mesh, int count);   /**< count zeroed vertices; returns count * 52, 0 on failure */
int KVE_SetMeshTriangleCount(int mesh, int count); /**< 3 * count zeroed indices; returns their bytes, 0 on failure */
int KVE_SetMeshIndexCount(int mesh, int count);    /**< count zeroed indices; returns count * 4, 0 on failure */
void KVE_SetMeshVertex(int mesh, int vertex, float x, float y, float z, float w); /**< position (w 1) */
void KVE_SetMeshNormal(int mesh, int vertex, float x, float y, float z);          /**< normal */
void KVE_SetMeshTextureCoord(int mesh, int vertex, float u, float v);             /**< texture coordinate */
void KVE_SetMeshVertexGroup(int mesh, int vertex, int group);                     /**< vertex group index */
void KVE_SetMeshTriangle(int mesh, int triangle, int i0, int i1, int i2); /**< 0-based vertex indices */
int KVE_GetMeshGroup(int mesh, const char* name);  /**< group index; a new name is appended */
int KVE_FindMeshGroup(int mesh, const char* name); /**< group index, -1 when absent */
/** Uploads the mesh to new GL objects and logs its counts ("Vertices: n", "Triangles:
 * n"). @return 1 on success; 0 with "Fail: Index out of range! ..." when an index names
 * no vertex, or "Fail: No OpenGL context!" before start-up (nothing is uploaded then). */
int KVE_FinishMesh(int mesh);
/** Fills the tangents from positions and texture coordinates and uploads them to a
 * finished mesh. @return 1; 0 for a mesh without vertices. */
int KVE_CalculateMeshTangents(int mesh);
/** @} */
KVE_MESH* KVE_GetMesh(int mesh); /**< the record, null when none has that number */
/** Uploads the vertices again into the finished buffer; "Fail: The vertex count changed
 * since KVE_FinishMesh!" (nothing uploaded) when the count differs. */
void KVE_UpdateMesh(int mesh);
void KVE_ScaleMesh(int mesh, float x, float y, float z); /**< scales every position, then KVE_UpdateMesh */
void KVE_ReleaseMesh(int mesh); /**< GL objects and the record; its objects are no longer drawn (logged) */
const char* KVE_GetMeshName(int mesh);        /**< engine-owned; null when there is no mesh */
int KVE_GetMeshVertexCount(int mesh);         /**< vertices */
int KVE_GetMeshIndexCount(int mesh);          /**< indices (3 per triangle) */
int KVE_GetMeshTriangleCount(int mesh);       /**< index count / 3 */
KVE_MESH_VERTEX* KVE_GetMeshVertexAddress(int mesh, int vertex); /**< for direct writing; null when out of range */
float* KVE_GetMeshNormalAddress(int mesh, int vertex);           /**< 3 floats; null when out of range */
float* KVE_GetMeshTextureCoordAddress(int mesh, int vertex);     /**< 2 floats; null when out of range */
int KVE_GetMeshVertexGroup(int mesh, int vertex);                /**< group index */

/** Reads a Wavefront OBJ file (positions, texture coordinates, normals, groups, the first
 * three corners of every face); every face corner becomes a vertex of its own. An empty
 * or null name takes the file part of fileName. Logs "Load OBJ Mesh: <file>".
 * @return the finished mesh; null with "Fail: File not found!" and "Fail: <file>:
 *         <reason>" when it cannot be read, "Fail: <file>: no triangles" without a face,
 *         "Fail: Too many face corners!" or "Fail: Out of memory!". An index out of range
 *         is read past with "Warning: <file>: index out of range in line <n>". */
KVE_MESH* KVE_LoadOBJMesh(int id, const char* fileName, const char* name);
/** A UV sphere of slices x stacks quads (6 vertices each), normals of length radius;
 * reached through its id (-1 gives it an automatic number nothing returns). Returns 0;
 * "Fail: Invalid sphere size!" for negative or too many slices and stacks. */
int KVE_CreateSphere(int id, float radius, int slices, int stacks, const char* name);
/** A wind triangle in y = 0 for the Grass program: groups "Static" 0 and "Dynamic" 1, one
 * Dynamic tip.
 * @param id wanted number (0..65535) or -1 for automatic
 * @param size its width
 * @param textureRepeat texture repeats across it
 * @param name "" for none
 * @return the finished mesh, or null. */
KVE_MESH* KVE_CreateGrassTriangle(int id, float size, float textureRepeat, const char* name);
/** As KVE_CreateGrassTriangle, a quad of two triangles with a Dynamic edge. */
KVE_MESH* KVE_CreateGrassQuad(int id, float size, float textureRepeat, const char* name);

/** @} */

/** @defgroup gltf glTF 2.0 import
 * Scenes and meshes from ".gltf" files (external or data-URI buffers) and ".glb" files.
 * glTF's right-handed, counter-clockwise convention is the engine's own. Base colour
 * (factor and texture) becomes the colour and texture 0 of a Normal Mapping material, the
 * normal texture (or a flat one) texture 1; emission = the largest emissiveFactor
 * component (0..1). Metallic m and roughness r (factors only) become:
 * shine = (1 - r) x (0.25 + 0.75 m); hardness = 2 / max(r, 0.05)^4 - 2, held to 1..256;
 * shine colour = white mixed toward the base colour by m. alphaMode MASK is baked into
 * texture 0's alpha (0 or 255 at the cutoff); BLEND draws unlit with the Textures program,
 * without depth writes; doubleSided turns culling off. Missing normals become face
 * normals; missing tangents come from KVE_CalculateMeshTangents' routine where a normal
 * texture is used. The vertex holds no colour and one texture coordinate: COLOR_0 and
 * TEXCOORD_1 are not read. Skins, morph targets and animations keep their static pose,
 * points and lines are skipped (one orange entry each); a file whose extensionsRequired is
 * not empty fails. Images are decoded by the engine's own PNG and JPEG readers. Shown in
 * @ref gltf_viewer/gltf_viewer.cpp "gltf_viewer".
 * @{ */

/** What KVE_LoadGLTFScene made. */
typedef struct KVE_GLTF_SCENE {
    int32_t node;                    /**< the scene's root node, -1 on failure */
    int32_t objects;                 /**< objects created */
    int32_t meshes;                  /**< meshes created */
    int32_t materials;               /**< materials created */
    int32_t textures;                /**< textures created */
    int32_t triangles;               /**< triangles drawn: each mesh once per object using it */
    KVE_Vector boundsMin;            /**< world box of every object's vertices, low corner (w = 1) */
    KVE_Vector boundsMax;            /**< world box of every object's vertices, high corner (w = 1) */
} KVE_GLTF_SCENE;

/** Loads a glTF file's default scene (else scene 0) under a new node.
 * @param file ".gltf" or ".glb"
 * @param name the root node's name, null or "" for the file part, and the prefix of every
 *        record made ("name/...")
 * @param info receives the counts and bounds; may be null
 * @return the root node's number, or -1 after red entries naming the file and the reason;
 *         nothing is registered then and nothing loaded before is touched. */
int KVE_LoadGLTFScene(const char* file, const char* name, KVE_GLTF_SCENE* info);

/** Loads one mesh of a glTF file (all its triangle primitives, materials ignored).
 * @param id wanted number (0..65535) or -1
 * @param file ".gltf" or ".glb"
 * @param meshIndex 0-based index in the file's meshes
 * @param name null or "" for the file part, "#", and the index
 * @return the finished mesh, or null after a red entry naming the file and the reason. */
KVE_MESH* KVE_LoadGLTFMesh(int id, const char* file, int meshIndex, const char* name);

/** @} */

/* ========================================================================== */
/* 8a. Scene items: objects, nodes, camera                                    */
/* ========================================================================== */

/** @defgroup scene Scene items: objects, nodes, camera
 * Placeable items that share one header (KVE_ITEM), are moved and turned with the same
 * mode flags and hang on each other with KVE_AttachItem: objects (a mesh drawn with a
 * material), empty nodes and the one camera; lights, sounds and particle emitters are
 * items too. Shown in @ref solar_system/solar_system.cpp "solar_system" (planets and moons
 * on turning nodes) and @ref physics/spawning.cpp "the demonstration" (objects thrown along
 * the camera's ray).
 * @{ */

/** @name Item kinds
 * The values of KVE_ITEM.kind. */
/** @{ */
#define KVE_ITEM_OBJECT 1  /**< item kind of a KVE_OBJECT */
#define KVE_ITEM_EMITTER 2 /**< item kind of a KVE_EMITTER */
#define KVE_ITEM_LIGHT 3   /**< item kind of a KVE_LIGHT */
#define KVE_ITEM_CAMERA 4  /**< item kind of the camera */
#define KVE_ITEM_SOUND 5   /**< item kind of a KVE_SOUND */
#define KVE_ITEM_NODE 6    /**< item kind of a KVE_NODE */
/** @} */

/** @name Attachment modes
 * How a child follows its parent (KVE_AttachItem). */
/** @{ */
#define KVE_ATTACH_NONE 0  /**< not attached; given to KVE_AttachItem it detaches */
#define KVE_ATTACH_RIGID 3 /**< the child follows the parent's position and rotation */
#define KVE_ATTACH_FULL 7  /**< the child follows position, rotation and scale */
/** @} */

/** @name Placement modes
 * Flags of every Move and Rotate operation; without KVE_LOCAL or KVE_GLOBAL the values are
 * taken in the parent's space. */
/** @{ */
#define KVE_RELATIVE 1 /**< add to the current placement (otherwise replace it) */
#define KVE_LOCAL 2    /**< values in the item's own axes */
#define KVE_GLOBAL 4   /**< values in world axes */
/** @} */

/** The header at the start of every placeable record (objects, nodes, lights, sounds,
 * emitters, the camera). The three references point into the record itself; the engine
 * keeps them, the application only reads them. */
typedef struct KVE_ITEM {
    int32_t kind;             /**< `KVE_ITEM_*` */
    int32_t attachMode;       /**< `KVE_ATTACH_*`; 0 = not attached */
    struct KVE_ITEM* parent;  /**< null when not attached */
    KVE_Matrix* fullMatrix;   /**< rotation, scale and position: followed by mode 7 children */
    KVE_Matrix* rigidMatrix;  /**< rotation and position: followed by mode 3 children */
    KVE_Quaternion* rotation; /**< the item's rotation in its parent's space */
} KVE_ITEM;

/** Called during the physics step's collision phase (under the physics lock) on every
 * contact, with (own object number, other object number); the result is kept in the
 * object's callbackResult. Set with KVE_SetObjectCollisionCallback. */
typedef int (*KVE_COLLISION_CALLBACK)(int object, int other);

/** The physics state of an object (its Body block), filled by the physics operations;
 * values after the comma are those at creation. */
typedef struct KVE_OBJECT_BODY {
    void* body;                               /**< the attached KVE_BODY; null = not in the physics */
    float sizeFactor;                         /**< largest of the three scale components (signed), 1.0 */
    float restitution;                        /**< bounce factor, 0.4 */
    float friction;                           /**< friction factor, 0.7 */
    float mass;                               /**< 0 = static */
    KVE_Matrix inertia;                       /**< inertia tensor in the object's axes, identity */
    KVE_Vector v4fMovement;                   /**< linear velocity, units per second */
    KVE_Vector angularVelocity;               /**< radians per second about x, y, z */
    KVE_Vector acceleration;                  /**< units per second squared, applied in the next step */
    KVE_Vector angularAcceleration;           /**< radians per second squared, applied in the next step */
    KVE_Vector displacement;                  /**< position change of the last step */
    KVE_COLLISION_CALLBACK collisionCallback; /**< null = none */
    int32_t callbackResult;                   /**< the callback's last return value */
    void* treeNodes;                          /**< the world-tree nodes holding the object (engine's) */
} KVE_OBJECT_BODY;

/** A scene object: a mesh drawn with a material. Fields in this order; the record belongs
 * to the object registry and lives until it is released or replaced. */
typedef struct KVE_OBJECT {
    KVE_ITEM item;           /**< kind KVE_ITEM_OBJECT */
    int32_t number;          /**< registry number */
    const char* name;        /**< "" when unnamed; owned by the engine */
    int32_t visible;         /**< 1; 0 = skipped by every pass */
    int32_t castsShadow;     /**< 1; 0 = not drawn into shadow maps */
    int32_t animationFlag;   /**< 0 = no animation */
    int32_t animation;       /**< the animation value given at creation */
    int32_t binding1;        /**< -1: unset binding of another subsystem */
    int32_t binding2;        /**< -1: unset binding of another subsystem */
    KVE_OBJECT_BODY Body;    /**< the physics state */
    KVE_Vector v4fPosition;  /**< position in the parent's space, w = 1 */
    KVE_Quaternion rotation; /**< in the parent's space */
    KVE_Matrix fullMatrix;   /**< rotation, scale and position */
    KVE_Matrix rigidMatrix;  /**< rotation and position */
    KVE_Vector scale;        /**< per axis, (1, 1, 1, 0) */
    KVE_MATERIAL* material;  /**< null when none (or released) */
    KVE_MESH* mesh;          /**< the mesh record; null once the mesh is released */
    int32_t binding3;        /**< -1: unset binding of another subsystem */
    int32_t isStatic;        /**< 1: left out of a static light's per-frame shadow map */
    int32_t noCameraPass;    /**< 1: skipped by the G-buffer pass */
} KVE_OBJECT;

/** An empty placeholder that other items can be attached to. */
typedef struct KVE_NODE {
    KVE_ITEM item;           /**< kind KVE_ITEM_NODE */
    int32_t number;          /**< registry number */
    const char* name;        /**< "" when unnamed; owned by the engine */
    KVE_Vector position;     /**< in the parent's space, w = 1 */
    KVE_Quaternion rotation; /**< in the parent's space */
    KVE_Matrix matrix;       /**< rotation and position: both the full and the rigid matrix */
} KVE_NODE;

/** Creates an object showing a mesh with a material, at the origin, unscaled, visible and
 * listed under its material's program; a name in use replaces the older object (blue
 * "Info: The already existing Object has been replaced!").
 * @param number wanted number (0..65535) or -1 for automatic
 * @param mesh the mesh's number
 * @param material the material's number; -1 for the default material (an unknown one
 *        leaves the object undrawn)
 * @param name "" or null for none
 * @param animationFlag 0 for no animation
 * @param animationValue stored in `animation` when animationFlag is not 0
 * @return the record, owned by the registry; null when the mesh does not exist (no
 *         message) or the number is refused (red "Fail: This ID is not available!"). */
KVE_OBJECT* KVE_CreateObject(int number, int mesh, int material, const char* name, int animationFlag,
                             int animationValue);
/** Registry entry alone (`id` in: wanted number or -1; out: the number given): every field
 * zero but the item header, nothing drawn or simulated until the caller fills the record.
 * Null when the number is refused (red "Fail: This ID is not available!"). */
KVE_OBJECT* KVE_CreateObjectListEntry(int* id, const char* name);
/** Node registry entry alone, as KVE_CreateObjectListEntry; a name in use replaces the
 * older node (blue "Info: The already existing Node has been replaced!"). */
KVE_NODE* KVE_CreateNodeListEntry(int* id, const char* name);
/** A new object with the source's mesh, material, position, rotation, scale and size
 * factor, not in the physics. Taking the source's number or name releases the source.
 * Null when the source does not exist or the number is refused. */
KVE_OBJECT* KVE_CopyObject(int number, int source, const char* name);
KVE_OBJECT* KVE_GetObject(int object); /**< the object's record; null when there is none */
/** Releases the object: it leaves its material's list and the physics, its joints are
 * freed and its children are detached. 1 when released, 0 when there is none. */
int KVE_ReleaseObject(int object);
/** Scales by (x, y, z) (mode 1) or sets the scale to it (any other mode); updates the size
 * factor and, with a body and a mass, the inertia. 1; 0 for no object or a value that is
 * not finite (nothing changes). */
int KVE_ScaleObject(int object, float x, float y, float z, int mode);
/** Moves by or to (x, y, z), `mode` KVE_RELATIVE | KVE_LOCAL | KVE_GLOBAL. 1; 0 for no
 * object, a value that is not finite or, with KVE_GLOBAL, parents that cannot be
 * inverted (nothing changes). The other Move operations take the same modes. */
int KVE_MoveObject(int object, float x, float y, float z, int mode);
/** Turns by or to the Euler angles (x, y, z) in degrees (x first, then y, then z), same
 * modes; the rotation is kept normalised. 1; 0 for no object or a value that is not
 * finite. The other Rotate operations take the same modes. */
int KVE_RotateObject(int object, float x, float y, float z, int mode);
/** Sets the object's linear velocity (`v4fMovement`, units per second).
 * @param object the object
 * @param vector the velocity (its w ignored); null takes (x, y, z)
 * @param x velocity along x when `vector` is null
 * @param y velocity along y when `vector` is null
 * @param z velocity along z when `vector` is null
 * @param mode bit 1 adds to the velocity, bit 2 takes it in the object's own axes
 * @return 1; 0 for no object or a value that is not finite. */
int KVE_SetObjectVelocity(int object, const KVE_Vector* vector, float x, float y, float z, int mode);
/** The object's position and rotation (parent's space) copied into `out`; they return
 * `out`, or null for no object or a null `out`. */
KVE_Vector* KVE_GetObjectPosition(int object, KVE_Vector* out);
KVE_Quaternion* KVE_GetObjectRotation(int object, KVE_Quaternion* out); /**< as KVE_GetObjectPosition */
KVE_ITEM* KVE_GetObjectItem(int object); /**< its header, for KVE_AttachItem; null when none */
/** Gives the object another material (-1: the default one) and moves it to that
 * material's object list; 1, or 0 when the object or the material does not exist. */
int KVE_SetObjectMaterial(int object, int material);
/** Lists the object under its material's program so that the frame draws it (creation
 * does this); 1 when newly listed, 0 when already listed, when it has no mesh, material
 * or queued program, or when there is no such object. */
int KVE_RegisterObject(int object);
int KVE_UnregisterObject(int object); /**< 1 when taken out of its material's list (no longer drawn); else 0 */

/** Creates a node at (0, 0, 0, 1) without rotation; `number` 0..65535 or -1 (automatic),
 * a name in use replaces the older node. Null when the number is refused (red "Fail:
 * This ID is not available!"). The record is owned by the registry. */
KVE_NODE* KVE_CreateNode(int number, const char* name);
KVE_NODE* KVE_GetNode(int node); /**< the node's record; null when there is none */
int KVE_ReleaseNode(int node);   /**< 1 when released (its children detached); 0 when there is none */
int KVE_MoveNode(int node, float x, float y, float z, int mode);   /**< as KVE_MoveObject; 1 or 0 */
int KVE_RotateNode(int node, float x, float y, float z, int mode); /**< degrees, as KVE_RotateObject; 1 or 0 */
KVE_ITEM* KVE_GetNodeItem(int node); /**< its header, for KVE_AttachItem; null when none */

/** Hangs an item on another; the child's own placement is then taken in the parent's
 * space.
 * @param parent the parent's header (KVE_GetObjectItem, ...); null detaches the child
 * @param child the child's header
 * @param mode KVE_ATTACH_RIGID or KVE_ATTACH_FULL; KVE_ATTACH_NONE detaches
 * @return 1; 0 with a red "Fail: These items cannot be attached!" for an item that does
 *         not live, another mode, or a parent that is the child or hangs below it
 *         (nothing changes). */
int KVE_AttachItem(KVE_ITEM* parent, KVE_ITEM* child, int mode);
/** The item's full matrix composed with its parents' (full or rigid by attachment mode),
 * into `out`; returns `out`, or null for a null `out` or an item that does not live. */
KVE_Matrix* KVE_GetItemWorldMatrix(const KVE_ITEM* item, KVE_Matrix* out);
/** The item's rotation composed with its parents', into `out`; null as above. */
KVE_Quaternion* KVE_GetItemWorldRotation(const KVE_ITEM* item, KVE_Quaternion* out);

/** @name The camera
 * There is exactly one camera, the listener of the sounds; every camera operation ignores
 * its number. */
/** @{ */
/** Moves the camera (modes as KVE_MoveObject) and recomputes its view; 1, 0 for a bad value. */
int KVE_MoveCamera(int camera, float x, float y, float z, int mode);
/** Turns the camera (degrees, modes as KVE_RotateObject) and recomputes its view; 1 or 0. */
int KVE_RotateCamera(int camera, float x, float y, float z, int mode);
void KVE_UpdateCamera(void); /**< recomputes the world and view matrices (done by every move and rotate) */
/** Copies into `out` with mode & 4 the world position, with mode & 2 (0, 0, 0, 1), else the
 * stored position (parent's space); returns `out` (null when `out` is null). */
KVE_Vector* KVE_GetCameraPosition(KVE_Vector* out, int mode);
KVE_Quaternion* KVE_GetCameraRotation(KVE_Quaternion* out); /**< in the parent's space; null when `out` is null */
/** The unit world direction from the camera through a screen point, through the current
 * projection.
 * @param out receives the direction (w = 0)
 * @param x pixels from the left edge; x = y = -65535 is the screen centre (the viewing
 *        direction)
 * @param y pixels from the top edge
 * @return `out`; null when `out` is null. */
KVE_Vector* KVE_GetCameraRay(KVE_Vector* out, float x, float y);
KVE_ITEM* KVE_GetCameraItem(int camera); /**< the camera's header, to attach it or items to it */
/** @} */

/** @} */

/* ========================================================================== */
/* 8b. Lights                                                                 */
/* ========================================================================== */

/** @defgroup lights Lights
 * Local lights as scene items in the light registry, the one directional light, the
 * ambient term and the shadow switches. Shown in @ref lit_scene/lit_scene.cpp "lit_scene"
 * (the directional light and a point light casting shadows).
 * @{ */

/** A local light: a scene item with a range, colour and intensity, in the light registry
 * (numbers 0..65535 or -1 (automatic); no names, no log messages). Spot lights are kept
 * and listed but the frame draws only point lights. */
typedef struct KVE_LIGHT KVE_LIGHT;

/** @name Light types */
/** @{ */
#define KVE_LIGHT_POINT 1 /**< light type: point light (drawn as a light volume) */
#define KVE_LIGHT_SPOT 2  /**< light type: spot light (kept, not drawn by the frame) */
/** @} */

/** Creates a light: enabled, range 128, white, intensity 1, spot direction (0, -1, 0),
 * cone factor 2, no shadows. A light already holding the number is freed first.
 * @param light wanted number (0..65535) or -1 for automatic
 * @param x local position x
 * @param y local position y
 * @param z local position z
 * @param type KVE_LIGHT_POINT or KVE_LIGHT_SPOT
 * @return the record, owned by the registry; null, with nothing changed and no message,
 *         for a number above 65535, another type or a position that is not finite. */
KVE_LIGHT* KVE_CreateLight(int light, float x, float y, float z, int type);
int KVE_FreeLight(int light);                    /**< 1 when freed (with its static shadow map); 0 when there is none */
int KVE_SetLightEnabled(int light, int enabled); /**< 0 = not drawn; 1, or 0 when there is no light */
int KVE_GetLightEnabled(int light);              /**< the enabled flag; 0 when there is no light */
int KVE_GetLightShadow(int light);               /**< the casts-shadows flag; 0 when there is no light */
/** Sets a light's shadow flags. The static map (2048^2 depth, a cube map for a point
 * light) exists while both flags are set; KVE_BakeStaticShadows fills it.
 * @param light the light
 * @param castsShadows 1: a point light renders a cube shadow map of the scene every frame
 *        (while KVE_SetShadows is on); 0: no shadows
 * @param isStatic 1 (with castsShadows): the static objects are left out of the per-frame
 *        map and drawn into the light's static map instead
 * @return 1; 0 when there is no light or the static map cannot be made (no running
 *         engine), and nothing changes then. */
int KVE_SetLightShadow(int light, int castsShadows, int isStatic);
/** Distance at which the light has faded out (linear fall-off), > 0 and finite; also
 * scales the light volume. 1; 0 for no light or a bad range (nothing changes). */
int KVE_SetLightRange(int light, float range);
float KVE_GetLightRange(int light);                        /**< 0 when there is no light */
int KVE_SetLightColor(int light, int color);               /**< packed 0xAABBGGRR; 1, or 0 when there is no light */
KVE_Vector* KVE_GetLightColor(int light, KVE_Vector* out); /**< r, g, b, a in 0..1 into `out`; null for no light */
int KVE_SetLightIntensity(int light, float intensity);     /**< multiplier, 1.0; 1, 0 for no light or a bad value */
float KVE_GetLightIntensity(int light);                    /**< 0 when there is no light */
int KVE_SetLightDirection(int light, float x, float y, float z);     /**< spot direction, stored as given; 1 or 0 */
int KVE_SetLightConeAngle(int light, float angle);                   /**< spot cone factor, 2.0; 1 or 0 */
float KVE_GetLightX(int light);                                      /**< local x position; 0 when there is no light */
float KVE_GetLightY(int light);                                      /**< local y position; 0 when there is no light */
float KVE_GetLightZ(int light);                                      /**< local z position; 0 when there is no light */
int KVE_MoveLight(int light, float x, float y, float z, int mode);   /**< as KVE_MoveObject; 1 or 0 */
int KVE_RotateLight(int light, float x, float y, float z, int mode); /**< degrees, as KVE_RotateObject; 1 or 0 */
KVE_ITEM* KVE_GetLightItem(int light);          /**< its header, for KVE_AttachItem; null when none */
int KVE_GetLightNumber(const KVE_LIGHT* light); /**< the light's number; -1 for null */

/** @name The directional light, the ambient term and shadows
 * Engine settings, set to the values given here by KVE_Init. */
/** @{ */
void KVE_SetDirectLightEnabled(int enabled); /**< 0 (the start): only ambient and emission light the scene */
/** Direction from the scene toward the light, (0, -1, 0); stored normalised, a zero or
 * non-finite vector is ignored. */
void KVE_SetDirectLightDirection(float x, float y, float z);
void KVE_SetDirectLightColor(int color);           /**< packed, white; alpha forced to 1.0 */
void KVE_SetDirectLightIntensity(float intensity); /**< multiplier, 1.0; a value not finite is ignored */
void KVE_SetAmbientColor(int color); /**< packed, black; multiplies every surface colour; alpha forced to 1.0 */
void KVE_SetShadows(int enabled);    /**< global switch for all shadow rendering, 0 */
void KVE_SetShadowCentre(float x, float y, float z); /**< where the directional shadow map is centred, (0, 0, 0) */
/** Renders the static objects into the static shadow map of every static shadow-casting
 * point light (KVE_SetLightShadow); nothing when the shadow targets do not exist. */
void KVE_BakeStaticShadows(void);
/** @} */

/** @} */

/* ========================================================================== */
/* 9a. Uniform blocks, projection, shader queues                              */
/* ========================================================================== */

/** @defgroup rendering Uniform blocks, projection, shader queues
 * The projection state behind the Projection uniform block, the built-in programs that
 * materials select by kind, and the shader queues the frame walks. Shown in
 * @ref lit_scene/lit_scene.cpp "lit_scene" and @ref physics/scene_setup.cpp
 * "the demonstration" (field of view, near and far planes).
 * @{ */

/** @name Projection modes */
/** @{ */
#define KVE_PROJECTION_ORTHOGRAPHIC 0 /**< projection mode: orthographic, aspect x 100 units wide */
#define KVE_PROJECTION_PERSPECTIVE 1  /**< projection mode: perspective (the start) */
/** @} */

/** @name Built-in program kinds
 * Kinds of the built-in programs (KVE_GetBuiltinShader, a material's kind); 0, 14, 17,
 * 22 and 23 stay empty. */
/** @{ */
#define KVE_SHADER_DEFAULT 1                    /**< "Default": flat colour with a headlight */
#define KVE_SHADER_DRAWING 2                    /**< "Drawing": vertex colours (debug lines) */
#define KVE_SHADER_DRAW_MESH 3                  /**< "Draw Mesh": one flat colour */
#define KVE_SHADER_TEXTURES 4                   /**< "Textures": texture x colour, unlit */
#define KVE_SHADER_NORMAL_MAPPING 5             /**< "Normal Mapping" (G-buffer) */
#define KVE_SHADER_REFLECTION_NORMAL_MAPPING 6  /**< "Reflection Normal Mapping" with a cube map (G-buffer) */
#define KVE_SHADER_NORMAL_MAPPING_SILHOUETTE 7  /**< "Normal Mapping Silhouette" (forward) */
#define KVE_SHADER_SPECULAR_NORMAL_MAPPING 8    /**< "Specular Normal Mapping" (G-buffer) */
#define KVE_SHADER_TEXTURE_ARRAY 9              /**< "Texture Array": layers by vertex group (G-buffer) */
#define KVE_SHADER_GRASS 10                     /**< "Grass": wind by vertex group, two-sided (G-buffer) */
#define KVE_SHADER_PARALLAX_MAPPING 11          /**< "Parallax Mapping" (G-buffer) */
#define KVE_SHADER_SPECULAR_PARALLAX_MAPPING 12 /**< "Specular Parallax Mapping" (G-buffer) */
#define KVE_SHADER_WATER 13                     /**< "Water" (over-image queue) */
#define KVE_SHADER_REFRACTION 14                /**< refraction: no program, draws nothing */
#define KVE_SHADER_MASK_REFRACTION 15           /**< "Mask Refraction" (over-image queue) */
#define KVE_SHADER_MESH_GLOW 16                 /**< "Mesh Glow" (over-image queue) */
#define KVE_SHADER_SKYBOX 18                    /**< "Skybox" (KVE_SetSkyBox) */
#define KVE_SHADER_PARTICLE 19                  /**< "Particle": emitters' quads */
#define KVE_SHADER_SOFT_PARTICLE 20             /**< "Soft Particle": fading near surfaces */
#define KVE_SHADER_BILLBOARD 21                 /**< "Billboard": instanced quads */
#define KVE_SHADER_TEXTURED_SPRITE 24           /**< "Textured Sprite" (2D) */
#define KVE_SHADER_MASKED_SPRITE 25             /**< "Masked Sprite": alpha from a mask texture (2D) */
#define KVE_SHADER_KIND_COUNT 26                /**< kinds are 0..25 */
/** @} */

/** @name Shader queues
 * The queues the frame walks, each a list of programs with their materials and objects. */
/** @{ */
#define KVE_QUEUE_GBUFFER 0 /**< deferred programs, lit by the lighting passes */
#define KVE_QUEUE_FORWARD 1 /**< unlit forward programs, drawn into the lit image */
#define KVE_QUEUE_OVERLAY 2 /**< programs that read the lit image and depth: water, refraction, glow */
#define KVE_QUEUE_SPRITE 7  /**< sprite programs */
/** @} */

/** @name Start-up and projection
 * The start-up steps KVE_Init runs in this order (KVE_InitScreenShader after the
 * G-buffer), and the projection's setters and readers. */
/** @{ */
/** Sets the projection defaults (perspective, 45 degrees, near 0.1, far 128), the
 * viewport, the three matrices and the Projection buffer. */
void KVE_InitProjection(void);
/** Creates the five uniform blocks (log section "Uniform Buffer"); 1, or 0 with a red
 * "FAIL" when the GL offers no uniforms or a buffer is not made. */
int KVE_InitShaderBuffers(void);
void KVE_InitSpriteShaders(void);           /**< built-in programs of kinds 24 and 25 (log section "2D Shader") */
void KVE_InitBuiltinShaders(void);          /**< built-in programs of kinds 1 to 21 (log section "3D Shader") */
void KVE_InitScreenShader(void);            /**< the screen-copy program */
void KVE_SetProjectionFOV(float degrees);   /**< vertical field of view in degrees, 45; uploaded in perspective mode */
void KVE_SetProjectionNear(float distance); /**< near plane distance, 0.1; rebuilds both 3D matrices */
void KVE_SetProjectionFar(float distance);  /**< far plane distance, 128; rebuilds both 3D matrices */
/** Selects `KVE_PROJECTION_*` (any other value: perspective) and uploads its matrix. */
void KVE_SetProjectionMode(int mode);
int KVE_GetProjectionMode(void);                  /**< `KVE_PROJECTION_*` */
float KVE_GetProjectionFOV(void);                 /**< degrees */
float KVE_GetProjectionNear(void);                /**< near plane distance */
float KVE_GetProjectionFar(void);                 /**< far plane distance */
float KVE_GetProjectionAspect(void);              /**< screen width / height */
void KVE_GetProjectionMatrix(KVE_Matrix* matrix); /**< the current mode's 3D matrix into `matrix` (null: nothing) */
void KVE_Get2DMatrix(KVE_Matrix* matrix);         /**< pixels, origin top-left, y down, into `matrix` (null: nothing) */
ShaderProgram* KVE_GetBuiltinShader(int kind);    /**< kinds 0..25; null for an empty kind or one out of range */
/** @} */

/** @} */

/* ========================================================================== */
/* 9b. Frame rendering                                                        */
/* ========================================================================== */

/** @defgroup frame Frame rendering
 * The deferred frame: shadow maps, the G-buffer, the lights, the forward and over-image
 * queues, glow, sky box, particles and billboards, with its render targets and pass
 * timing. Every example calls KVE_RenderScene once per frame; @ref physics/main.cpp
 * "the demonstration" also times its passes.
 * @{ */

void KVE_SetBackgroundColor(int color); /**< packed colour the output is cleared to; alpha 0 counts as opaque */
/** Draws the frame of the 3D scene into `framebuffer` (-1: the window), leaving it bound
 * for the 2D overlay; once per frame before KVE_FlipBuffers. Returns 0 (also when the
 * engine is not running or the window is minimised, and nothing is drawn then). */
int KVE_RenderScene(int framebuffer);
/** Creates the G-buffer and the lighting programs (log section "G-Buffer"); 1, or 0 with a
 * red "FAIL: Error " and the GL status when the framebuffer is incomplete. */
int KVE_InitGBuffer(void);
int KVE_InitSceneTargets(void); /**< scene and glow targets; 1, or 0 (no message) when incomplete */
/** Creates the 2D and cube shadow maps of `size`^2 texels (KVE_Init: 2048); 1, or 0 (no
 * message) for a size of 0 or less or an incomplete framebuffer. */
int KVE_InitShadowTargets(int size);
/** 1 (default): a shadow map face is drawn only from the casters that meet it, and kept
 * while its casters and light are unchanged; 0: every face is redrawn from all casters
 * every frame. The picture is the same either way. */
void KVE_SetShadowMapReuse(int enabled);
/** Switches view culling: an object whose mesh box lies wholly outside the view volume
 * of a pass (the camera's, or the directional and point shadow maps') is not drawn by it.
 * The picture is the same either way.
 * @param on 1 (the default) culls; 0 draws every object in the camera passes, and in the
 * shadow maps when they are redrawn every frame (kept maps test their casters anyway).
 * @return the previous setting. */
int KVE_SetViewCulling(int on);
/** Switches batched drawing: the objects of one material in a pass are drawn in one run
 * that binds the Model buffer once and a mesh only when it changes; 0 binds both again
 * for every object. The picture is the same either way.
 * @param on 1 (the default) or 0. @return the previous setting. */
int KVE_SetDrawBatching(int on);
/** What the last KVE_RenderScene drew; fields may be added at the end. */
typedef struct KVE_FRAME_STATISTICS {
    int objectsDrawn;        /**< object draws of the G-buffer, forward and over-image passes */
    int objectsCulled;       /**< objects those passes left out as wholly outside the view */
    int shadowCastersDrawn;  /**< caster draws into shadow maps, each map face counted */
    int shadowCastersCulled; /**< casters left out as wholly outside a shadow map face */
} KVE_FRAME_STATISTICS;
/** Copies the statistics of the last rendered frame.
 * @param out record to fill; @param size its size in bytes (sizeof(KVE_FRAME_STATISTICS)).
 * @return the bytes written (at most size); 0 for a null record or size <= 0. */
int KVE_GetFrameStatistics(KVE_FRAME_STATISTICS* out, int size);

/** Time of each pass of KVE_RenderScene: GPU time from GL timer queries read back a frame
 * or two late (nothing waits for the GPU), or, where the driver's queries cannot be
 * trusted, CPU time with glFinish at every pass boundary. A pass that did not run in a
 * frame (shadows off) does not count that frame. */
typedef struct KVE_RENDER_PASS_TIME {
    const char* name; /**< "G-buffer", "point shadow maps", ...; static text */
    int frames;       /**< frames measured since timing was switched on */
    float lastMs;     /**< milliseconds in the latest measured frame */
    float averageMs;  /**< mean milliseconds over the measured frames */
    float maxMs;      /**< longest measured frame, milliseconds */
} KVE_RENDER_PASS_TIME;
/** 1 (or KVE_PASS_TIMING_GPU): times every pass from now on, KVE_PASS_TIMING_CPU: times
 * them on the CPU whatever the driver, 0: stops; each resets the figures (nothing without a
 * running engine). */
void KVE_SetRenderPassTiming(int enabled);
#define KVE_PASS_TIMING_OFF 0 /**< passes are not timed */
#define KVE_PASS_TIMING_GPU 1 /**< GL timer queries */
#define KVE_PASS_TIMING_CPU 2 /**< CPU clock with glFinish around each pass */
/** How the pass times are measured now.
 * Software rasterisers, drivers without timer queries, and drivers whose queries gave a
 * pass longer than its frame are timed on the CPU (the figures restart when that is found).
 * @return KVE_PASS_TIMING_OFF, KVE_PASS_TIMING_GPU or KVE_PASS_TIMING_CPU. */
int KVE_GetRenderPassTimingMethod(void);
/** Fills `times` (may be null) with up to `capacity` passes in frame order; returns the
 * number of passes there are, whatever the capacity. */
int KVE_GetRenderPassTimes(KVE_RENDER_PASS_TIME* times, int capacity);
/** GL errors seen since start-up (test and debug builds report each in the log with its
 * pass, a red "FAIL: GL error (pass: ...)"; other builds do not check and answer 0). */
int KVE_GetGLErrorCount(void);
void KVE_ResizeGBuffer(void);                          /**< reallocates the targets at the current screen size */
void KVE_SetGlow(int enabled);                         /**< glow image built and added, 1 */
void KVE_SetGlowBlur(float width);                     /**< glow blur tap spacing in screen pixels, 2.5 */
void KVE_SetSkyBox(int texture, int color);            /**< cube-map texture number and packed tint of the sky box */
void KVE_EnableSkyBox(int enabled);                    /**< sky drawn where no geometry is, 0 */
void KVE_SetSkyBoxRotation(float x, float y, float z); /**< degrees about x, y, z; the sky turns, layers keep theirs */
/** Adds a layer drawn over the sky in the order added, blended by its texels' alpha: a
 * mesh centred on the camera (-1: the sky's own cube) showing a cube-map texture with a
 * packed tint. Returns the layer's index. Released meshes or textures skip the layer. */
int KVE_AddSkyBoxLayer(int mesh, int texture, int color);
int KVE_SetSkyBoxLayerRotation(int layer, float x, float y, float z); /**< degrees; 1, or 0 for no such layer */
int KVE_GetSkyBoxLayerCount(void);                                    /**< layers added since the last clear */
void KVE_ClearSkyBoxLayers(void);                                     /**< removes every layer */

/** @} */

/* ========================================================================== */
/* 9c. 2D drawing: sprites and text                                           */
/* ========================================================================== */

/** @defgroup drawing2d 2D drawing: sprites and text
 * Sprites and bitmap text drawn in screen pixels (origin top-left, y down) over the
 * finished 3D frame, with a material of kind 24 (textured sprite) or 25 (masked sprite).
 * Shown in @ref hello/hello.cpp "hello" (a turning sprite, text) and
 * @ref physics/overlay.cpp "the demonstration" (statistics and a crosshair).
 * @{ */

typedef struct KVE_SPRITE KVE_SPRITE; /**< a textured rectangle in screen pixels (sprite registry) */
typedef struct KVE_FONT KVE_FONT;     /**< a bitmap font: shared glyphs and its own settings (font registry) */

/** Creates a sprite of the size of its material's first texture (1 x 1 without one); a
 * sprite under the number is released first.
 * @param id wanted number (0..65535) or -1 for automatic
 * @param material a material of kind 24 (textured) or 25 (masked)
 * @param topLeftOrigin 1: the position is the top-left corner; 0: the centre
 * @param flip 1 turns the texture upside down
 * @return the record, owned by the registry; null for a refused number (no message). */
KVE_SPRITE* KVE_CreateSprite(int id, int material, int topLeftOrigin, int flip);
int KVE_GetSpriteNumber(const KVE_SPRITE* sprite); /**< the sprite's number; -1 for null */
/** Draws the sprite with its position at pixel (x, y); 1 when drawn, 0 when there is no
 * such sprite, its material is gone or is not of kind 24 or 25. */
int KVE_DrawSprite(int sprite, float x, float y);
void KVE_SetSpriteSize(int sprite, float width, float height); /**< pixels; unknown sprites are ignored */
void KVE_RotateSprite(int sprite, float angle, int relative);  /**< degrees, clockwise; relative 1 adds */
/** Sets the four corners in strip order (top-left, bottom-left, top-right, bottom-right for
 * an upright sprite), in pixels relative to the sprite's position; the size becomes 1. */
void KVE_SetSpriteCorners(int sprite, float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                          float y3);
/** Texture coordinates (0..1) of coordinate set 0 (colour) or 1 (mask): the rectangle at
 * (u, v) of `width` x `height`; another set is ignored. */
void KVE_SetSpriteRect(int sprite, float u, float v, float width, float height, int set);
int KVE_ReleaseSprite(int sprite); /**< frees its vertex buffer; returns 0 */

/** @name Bitmap fonts
 * Fonts read from ".tf" files or memory, in the font registry (numbers 0..65535 or -1;
 * no names); copies share the glyphs and keep settings of their own. */
/** @{ */
#define KVE_FONT_DEFAULT 0  /**< the built-in font as it is (KVE_GetDefaultFont) */
#define KVE_FONT_LARGE 1    /**< the built-in font at twice the size */
#define KVE_FONT_SLANTED 2  /**< the built-in font slanted by 12 degrees */
#define KVE_FONT_CENTRED 3  /**< the built-in font centred on the given point */
#define KVE_FONT_VARIANTS 4 /**< number of built-in variants */

/** Loads a ".tf" font file. `id` 0..65535 or -1 (automatic); a font under the number is
 * released first. Logs "Load Font: " and the name, then "OK". Null, with a red entry, when
 * the file cannot be read ("Fail: Font file not found!"), is not a font ("Fail: Not a font
 * file!") or has no glyphs or no atlas image ("Fail: Font damaged: ..." when damage is the
 * cause); a damaged file with glyphs and atlas keeps what was read before the damage, with
 * an orange "Warning: <file>: ..., read up to the damage". */
KVE_FONT* KVE_LoadFont(int id, const char* fileName);
/** Builds a font from `size` bytes of a ".tf" file in memory (copied; the caller keeps
 * `data`); failures as KVE_LoadFont, without the file entries. */
KVE_FONT* KVE_CatchFont(int id, const void* data, int size);
/** A new font `id` sharing the glyphs of `font`, with a copy of its settings; null when
 * `font` does not exist or the number is refused. */
KVE_FONT* KVE_CopyFont(int font, int id);
int KVE_GetFontNumber(const KVE_FONT* font); /**< the font's number; -1 for null */
int KVE_GetDefaultFont(int variant);         /**< the number of built-in variant `KVE_FONT_*`; -1 when there is none */
void KVE_SetFontSize(int font, float size);  /**< scale of every glyph metric, 1.0 */
void KVE_SetFontColor(int font, int color);  /**< packed, opaque white */
void KVE_SetFontAlignment(int font, float horizontal, float vertical); /**< 0 start, 0.5 centre, 1 end; 0, 0 */
void KVE_SetFontAngle(int font, float degrees);                        /**< slant; positive leans right, 0 */
void KVE_SetFontSpacing(int font, float pixels);                       /**< extra space after every glyph, 0 */
void KVE_SetFontLineWidth(int font, float pixels); /**< wrap after the last space beyond it; 0 (the start) never */
void KVE_SetFontKerning(int font, int on);         /**< 1 (the start): use the file's kerning pairs */
int KVE_ReleaseFont(int font);                     /**< the glyphs go with the last font sharing them; returns 0 */
/** Draws text; line feeds start new lines, bytes without a glyph are skipped.
 * @param font the font
 * @param x pixels from the left edge to the first line's left (before alignment)
 * @param y pixels from the top edge to the first line's top (before alignment)
 * @param text the text; null or "" draws nothing
 * @param color packed colour; KVE_DEFAULT takes the font's
 * @param size scale of the glyphs; KVE_DEFAULT_FLOAT takes the font's
 * @param angle slant in degrees; KVE_DEFAULT_FLOAT takes the font's
 * @return 1 when drawn; 0 for no font or no text. */
int KVE_DrawText(int font, float x, float y, const char* text, int color, float size, float angle);
/** Measures text as KVE_DrawText would lay it out.
 * @param font the font
 * @param text the text
 * @param size scale of the glyphs; KVE_DEFAULT_FLOAT takes the font's
 * @param width receives the widest line in pixels (may be null)
 * @param height receives the total height in pixels (may be null)
 * @return the number of lines; 0 for no font or a null text. */
int KVE_MeasureText(int font, const char* text, float size, float* width, float* height);
/** @} */

/** @} */

/* ========================================================================== */
/* 9d. Debug lines                                                            */
/* ========================================================================== */

/** @defgroup lines Debug lines
 * Coloured 3D segments queued during a frame and drawn (then emptied) by the frame with
 * the Drawing program; KVE_UpdatePhysics(1) draws the physics debug view with them.
 * Colours are packed (0xAABBGGRR); queueing returns 0 and draws nothing yet.
 * @{ */

void KVE_InitLines(void);           /**< run by KVE_Init: the queue and its buffer, line width 1 */
void KVE_SetLineWidth(float width); /**< pixels, given to glLineWidth, 1.0 */
/** Sends every point queued from now on through a copy of `matrix`; null switches it off. */
void KVE_SetLineTransform(const KVE_Matrix* matrix);
/** Queues the segment from (x1, y1, z1) to (x2, y2, z2); the V forms take vectors (not null). */
int KVE_DrawLine3D(float x1, float y1, float z1, float x2, float y2, float z2, int color);
int KVE_DrawLineV(const KVE_Vector* a, const KVE_Vector* b, int color); /**< the segment a to b */
/** Queues a triangle's outline: segments 1-2, 2-3, 3-1. */
int KVE_DrawTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3, float z3,
                       int color);
int KVE_DrawTriangleV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int color); /**< as above */
/** A triangle outline whose corners take their own colours, shading along each segment. */
int KVE_DrawTriangleColorsV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int colorA, int colorB,
                            int colorC);
/** Queues the 12 edges of the axis-aligned box with corners (x1, y1, z1) and (x2, y2, z2). */
int KVE_DrawBox3D(float x1, float y1, float z1, float x2, float y2, float z2, int color);
int KVE_DrawBoxV(const KVE_Vector* a, const KVE_Vector* b, int color); /**< the box with corners a and b */
/** Queues an axis cross through (x, y, z) of half size `size`: x red, y blue, z green. */
int KVE_DrawCross3D(float x, float y, float z, float size);
int KVE_DrawCross3DColor(float x, float y, float z, float size, int color); /**< axis cross in one colour */
int KVE_DrawCrossV(const KVE_Vector* point, float size);                    /**< as KVE_DrawCross3D */
int KVE_DrawCrossVColor(const KVE_Vector* point, float size, int color);    /**< as KVE_DrawCross3DColor */
int KVE_DrawSphere3D(float x, float y, float z, float radius, int color);   /**< wire sphere: 15 rings of 12 chords */
int KVE_DrawSphereV(const KVE_Vector* center, float radius, int color);     /**< as KVE_DrawSphere3D */
int KVE_DrawLines(void);          /**< draws and empties the queue (the frame calls it); 0 */
int KVE_GetLineVertexCount(void); /**< vertices queued since the last draw */

/** @} */

/* ========================================================================== */
/* 10. Physics                                                                */
/* ========================================================================== */

/** @defgroup physics Physics
 * Bodies (collision shapes shared by objects), the once-per-frame step with collisions,
 * impulses with restitution and friction, spring joints, and the energy sums. Shown in
 * @ref pyramid/pyramid.cpp "pyramid" (boxes, a ball, a chain on joints) and
 * @ref physics/spawning.cpp "the demonstration" (bodies thrown into the scene).
 * @{ */

/** @name The physics lock
 * The process-wide recursive lock; the step holds it phase by phase, the particle and
 * sound updates for their whole run. */
/** @{ */
/** Takes the physics lock (recursive), to read or change the physics from another thread. */
void KVE_LockPhysics(void);
void KVE_UnlockPhysics(void); /**< releases the physics lock once */
/** @} */

/** @name Body types
 * KVE_GetBodyType's answers; given to KVE_SetObjectBody the same values build a body from
 * the object's own mesh (-3, -4, -5), give it the built-in point body (-1) or take it out
 * of the physics (-65535). */
/** @{ */
#define KVE_BODY_POINT (-1)    /**< a point with a sweep (the built-in point body) */
#define KVE_BODY_BOX (-3)      /**< the bounding box of a mesh */
#define KVE_BODY_SPHERE (-4)   /**< a sphere around the object's position */
#define KVE_BODY_MESH (-5)     /**< a triangle mesh with its bounding-box tree */
#define KVE_BODY_NONE (-65535) /**< KVE_SetObjectBody: take the object out of the physics */
/** @} */

/** @name Energy components
 * Bits of KVE_GetPhysicsEnergy, added together (15: the total). */
/** @{ */
#define KVE_ENERGY_TRANSLATION 1 /**< 0.5 m v.v */
#define KVE_ENERGY_ROTATION 2    /**< 0.5 w^T I w */
#define KVE_ENERGY_POSITION 4    /**< -m g.p */
#define KVE_ENERGY_TENSION 8     /**< 0.5 k (d - L)^2 over the joints */
/** @} */

/** A collision shape shared by any number of objects; the record belongs to the body
 * registry (KVE_SetObjectBody with a type makes an unnamed one that outlives the object). */
typedef struct KVE_BODY {
    int number;       /**< registry number; -1 for the built-in point body */
    const char* name; /**< "" when unnamed; owned by the engine */
} KVE_BODY;

/** A spring between a point of one object and a point of another (joint registry). */
typedef struct KVE_JOINT KVE_JOINT;

/** Body registry entry alone, the step every body creation shares: `id` in: the wanted
 * number 0..65535 or -1 (automatic), out: the number given. A name in use releases the
 * older body (blue "Loaded double: First Body has been released!"); a refused number gives
 * null and a red "Fail: This ID is not available!". */
KVE_BODY* KVE_CreateBodyListEntry(int* id, const char* name);
/** Reads a ".kvb" body file into a body of type -5 whose geometry is the file's vertices,
 * edges and faces; an empty or null name takes the file part of the path. Logs "Load
 * Body: " and the path, the counts and "OK". Null, with nothing replaced, for a file that
 * cannot be read or has no Body block (red "Fail: File not found!") or whose edges or faces
 * name a missing vertex (red "Fail: Index beyond the vertex count!"). */
KVE_BODY* KVE_LoadBody(int id, const char* fileName, const char* name);
/** Builds a body from a mesh's vertex positions.
 * @param id wanted number (0..65535) or -1 for automatic
 * @param mesh the mesh
 * @param type KVE_BODY_SPHERE (radius: the farthest vertex x scale), KVE_BODY_BOX (the
 *        bounding box, grown from the origin) or KVE_BODY_MESH (welded triangles with a
 *        bounding-box tree)
 * @param scale multiplies a sphere's radius; unused by the other types
 * @param name "" or null for none
 * @return the record; null with a red "Fail: Mesh not found!", "Fail: Unknown body type
 *         ...!" or "Fail: Mesh index beyond its vertex count!", or for a refused
 *         number. */
KVE_BODY* KVE_CreateBodyFromMesh(int id, int mesh, int type, float scale, const char* name);
/** Creates a sphere body (type -4) of `radius` units; null for a refused number. */
KVE_BODY* KVE_CreateSphereBody(int id, float radius, const char* name);
/** Creates a body of type 0, which takes part in no collision; null for a refused number. */
KVE_BODY* KVE_CreateEmptyBody(int id, const char* name);
KVE_BODY* KVE_GetBody(int body); /**< the body's record; null when there is none */
int KVE_GetBodyType(int body);   /**< `KVE_BODY_*`, 0 for an empty body; 0 when there is none */
/** Releases the body, its tree and geometry; returns 0. Objects still using it are taken
 * out of the physics (their body cleared) and a blue entry says how many; detach them
 * first (KVE_SetObjectBody with KVE_BODY_NONE). */
int KVE_FreeBody(int body);

/** Gives the object a body and puts it in the physics: in the dynamic set with a mass,
 * else in the static set; the inertia follows the mass.
 * @param object the object
 * @param body a body's number; KVE_BODY_POINT; KVE_BODY_BOX, KVE_BODY_SPHERE or
 *        KVE_BODY_MESH for a new unnamed body from the object's own mesh; or KVE_BODY_NONE
 *        to take the object out of the physics
 * @param scale multiplies the radius of a sphere built from the mesh
 * @return 1 when taken out (KVE_BODY_NONE), else 0 (also when nothing is found). */
int KVE_SetObjectBody(int object, int body, float scale);
int KVE_SetObjectMass(int object, float mass); /**< 0 = static, else dynamic; updates the inertia; returns 0 */
/** Sets the bounce factor, 0.4 at creation; a contact uses the product of both objects'
 * factors. Returns 0. */
int KVE_SetObjectRestitution(int object, float restitution);
/** Sets the friction factor, 0.7 at creation; a contact uses the product of both objects'
 * factors. Returns 0. */
int KVE_SetObjectFriction(int object, float friction);
int KVE_SetObjectCollisionCallback(int object, KVE_COLLISION_CALLBACK callback); /**< null removes it; returns 0 */

/** @name The world
 * KVE_Init runs KVE_InitPhysics; the application runs KVE_UpdatePhysics once per frame:
 * one step over the last frame time (the first frame moves nothing). */
/** @{ */
int KVE_InitPhysics(void);                     /**< the point body and the world tree; 1 */
int KVE_UpdatePhysics(int debug);              /**< the step; `debug` 1 also queues the debug view as lines; 0 */
int KVE_StepPhysics(void);                     /**< springs, collisions, integration over the last frame time; 0 */
int KVE_SetGravity(float x, float y, float z); /**< units per second squared, (0, 0, 0) at start; 0 */
float KVE_GetPhysicsStepRate(void);            /**< steps per second: the frame rate, rounded */
float KVE_GetPhysicsEnergy(int components);    /**< sum over all objects and joints of the `KVE_ENERGY_*` bits given */
int KVE_GetPhysicsObjectCount(int dynamicSet); /**< objects in the dynamic (1) or static (0) set */
int KVE_GetPhysicsTreeSize(void);              /**< object entries in the world tree */
/** @} */

/** @name Contact solvers and sleeping
 * The pairwise solver (the default) pushes each touching pair apart and gives it its
 * impulse as it is found. The iterative solver gathers the step's contact points (up to
 * four per pair, kept from step to step so that impulses are warm started) and solves them
 * together by sequential impulses in sub-steps; groups of bodies that have come to rest
 * sleep until something touches, moves or changes them. */
/** @{ */
#define KVE_SOLVER_PAIRWISE 0  /**< each pair pushed apart and given its impulse as it is found (the default) */
#define KVE_SOLVER_ITERATIVE 1 /**< contact manifolds and joints solved together by sequential impulses, with sleeping */

/** Chooses how the step resolves contacts for the whole world; switching wakes every body.
 * @param solver KVE_SOLVER_PAIRWISE or KVE_SOLVER_ITERATIVE
 * @return 1; 0 and a red "Fail: Unknown solver!" entry for any other value (nothing changes). */
int KVE_SetPhysicsSolver(int solver);
/** Sets the iterative solver's work per step (defaults 4 and 1).
 * @param velocity 1..100 sub-steps, each one impulse pass that also pushes overlapping
 *        bodies apart
 * @param position 0..100 relaxing passes per sub-step that take that push out of the
 *        velocities again
 * @return 1; 0 and a red "Fail: Iterations out of range!" entry otherwise (nothing changes). */
int KVE_SetSolverIterations(int velocity, int position);
/** Lets groups of touching or jointed bodies that have stayed below 0.05 units per second
 * for 0.5 s sleep (iterative solver only; on by default): not integrated, not tested
 * against each other. `on` 0 wakes every body and keeps them awake. Returns 1. */
int KVE_SetSleeping(int on);
int KVE_IsObjectSleeping(int object);    /**< 1 when asleep; 0 when awake, static, or not an object */
int KVE_GetSleepingObjectCount(void);    /**< sleeping objects of the dynamic set; 0 with the pairwise solver */
/** Wakes an object and everything resting with it; moving, pushing or changing a body
 * through the API does the same. Returns 1; 0 when the object does not exist. */
int KVE_WakeObject(int object);
/** @} */

/** Tests two objects by their body types; inside the step's collision phase it also
 * corrects their overlap and applies the impulse. On a contact it plays the collision
 * sound and calls both objects' callbacks. Non-zero when they touch; 0 for a missing
 * object. */
int KVE_CollideObjects(int first, int second);
/** Applies the impulse with restitution and friction at the current contact (that of the
 * last test that touched); returns 0. */
int KVE_ApplyContactImpulse(int objectA, int objectB);
/** Plays a sound as a new channel at the contact when objects of two materials hit at an
 * approach speed above 1, at its volume x (1 - 1 / speed); the same pair again replaces
 * the sound.
 * @param sound the sound's number
 * @param firstMaterial the first object's material
 * @param secondMaterial the second object's material; -1: any (the first then matches
 *        either object)
 * @return 0; a red "Fail: Material not found!" for a missing material. */
int KVE_SetCollisionSound(int sound, int firstMaterial, int secondMaterial);

/** Ties a point of one object to a point of another with a spring whose rest length is the
 * points' distance now; a joint under the number is freed first, and a released object
 * frees its joints. Between two moving objects the iterative solver takes the spring
 * into its solve, with the contacts, so that it stays stable however stiff it is.
 * @param id wanted number (0..65535) or -1 for automatic
 * @param objectA the first object
 * @param ax anchor x in A's own axes
 * @param ay anchor y in A's own axes
 * @param az anchor z in A's own axes
 * @param objectB the second object
 * @param bx anchor x in B's own axes
 * @param by anchor y in B's own axes
 * @param bz anchor z in B's own axes
 * @param stiffness spring constant: force per unit of stretch
 * @return the record, owned by the joint registry; null, with no message, for a refused
 *         number, a missing object, or a stiffness or anchor that is not finite. */
KVE_JOINT* KVE_CreateJoint(int id, int objectA, float ax, float ay, float az, int objectB, float bx, float by,
                           float bz, float stiffness);
int KVE_GetJointNumber(const KVE_JOINT* joint); /**< the joint's number; -1 for null */
int KVE_FreeJoint(int joint);                   /**< removes it from the step and the energy; returns 0 */
int KVE_GetJointCount(void);                    /**< active joints */

/** @} */

/* ========================================================================== */
/* 11. Particles                                                              */
/* ========================================================================== */

/** @defgroup particles Particles
 * Emitters read from definition files that spawn, fade and move camera-facing quads, as
 * scene items that can ride on objects. Shown in
 * @ref particles_sound/particles_sound.cpp "particles_sound" (a fire and a fountain).
 * @{ */

/** @name Emission modes and areas */
/** @{ */
#define KVE_EMITTER_WORLD 0  /**< particles live in world space once emitted */
#define KVE_EMITTER_LOCAL 1  /**< particles live in the emitter's space and follow it */
#define KVE_EMISSION_POINT 0 /**< emission area: the emitter's point */
#define KVE_EMISSION_BOX 1   /**< emission area: a box of areaSize */
#define KVE_EMISSION_RING 2  /**< emission area: a ring between the two radii */
/** @} */

/** A particle emitter: a scene item that spawns camera-facing textured quads. Ranges are
 * (min, max); a value drawn from one is min + (max - min) x r, r uniform in [0, 1). The
 * record belongs to the emitter registry; the fields may be changed between updates. */
typedef struct KVE_EMITTER {
    KVE_ITEM item;               /**< kind KVE_ITEM_EMITTER; full and rigid matrix are `matrix` */
    int32_t number;              /**< registry number */
    const char* name;            /**< always "" */
    int32_t emitting;            /**< 1; 0 = no new particles (time still runs on) */
    int32_t maxParticles;        /**< instances drawn per frame, 0..16384 (256) */
    int32_t visibleCount;        /**< particles drawn after the last update */
    KVE_Vector position;         /**< in the parent's space, w = 1 */
    KVE_Quaternion rotation;     /**< in the parent's space */
    KVE_Matrix matrix;           /**< rotation and position */
    KVE_Matrix emissionRotation; /**< turns +z into `direction` */
    KVE_Vector direction;        /**< unit main emission direction */
    KVE_Vector areaSize;         /**< box extents; ring x, y scale and z height */
    float radius[2];             /**< ring radii */
    KVE_Vector addedVelocity;    /**< added to every new particle's velocity, units per second */
    int32_t mode;                /**< KVE_EMITTER_WORLD or KVE_EMITTER_LOCAL */
    int32_t area;                /**< KVE_EMISSION_POINT, _BOX or _RING */
    float angle;                 /**< spread in degrees: 0 along the direction, 180 every way */
    float frequency;             /**< particles per second */
    float force;                 /**< random jitter of the velocity, units per second squared */
    float speed[2];              /**< initial speed range, units per second */
    float fadeOut[2];            /**< intensity lost per second after the lifetime; 0 = vanish */
    float fadeIn[2];             /**< intensity gained per second up to the target; 0 = at once */
    float lifetime[2];           /**< milliseconds */
    float intensity[2];          /**< target intensity range */
    float size[2];               /**< initial size range */
    float growth[2];             /**< size gained per second */
    float color[4];              /**< r, g, b, a in 0..1 */
    int32_t lastEmission;        /**< engine clock of the last emission, ms; 0 before the first update */
    int32_t material;            /**< material number; -1 = none (not drawn) */
} KVE_EMITTER;

/** Reads the ParticleEmitter node of a definition file (its Emission and Particle keys)
 * into a new emitter. `id` 0..65535 or -1 (automatic); an emitter under the number is
 * released first. Logs "Load Particle Emitter: " and the name. Null when the file cannot
 * be read (red "FAIL") or the number is refused (no message); a file without the node
 * gives an emitter with every default and a red entry. Values are held to these ranges,
 * with an orange "Warning: " entry for each key changed (a value that is not a number
 * takes the key's default): Emission MaxParticles 0..16384, Frequency 0..10000 per
 * second, Angle 0..180 degrees, Force -1000..1000, Velocity -1000..1000, Radius 0..10000,
 * Position, Size and Direction components -1e6..1e6; Particle LifeTime 0..600 s, Size
 * 0..10, Raise -10..10 per second, Intensity 0..100, FadeIn and FadeOut 0..1000 per
 * second. */
KVE_EMITTER* KVE_LoadParticleEmitter(int id, const char* fileName);
/** Once per frame before rendering, under the physics lock: emits by frequency, fades,
 * moves and grows every emitter's particles and uploads those drawn; returns 0. */
int KVE_UpdateParticleEmitters(void);
/** Emits `count` particles at the offset (x, y, z) in the emitter's space (at most 262144
 * live per emitter); returns 0. */
int KVE_EmitParticles(int emitter, int count, float x, float y, float z);
/** Sets the velocity added to every new particle, units per second (null: none); returns 0. */
int KVE_SetEmitterVelocity(int emitter, const KVE_Vector* velocity);
/** Sets the position to (x, y, z), or with flags 1 adds the offset to it; flags 2 turns the
 * offset by the emitter's rotation first. Returns 0. */
int KVE_MoveParticleEmitter(int emitter, float x, float y, float z, int flags);
int KVE_MoveEmitter(int emitter, float x, float y, float z, int mode);   /**< as KVE_MoveObject; 1 or 0 */
int KVE_RotateEmitter(int emitter, float x, float y, float z, int mode); /**< degrees, as KVE_RotateObject; 1 or 0 */
int KVE_SetEmitterEmitting(int emitter, int emitting); /**< 0 pauses emission (live particles go on); 0 */
int KVE_FreeParticleEmitter(int emitter);              /**< frees its GPU objects, particles and registry slot; 0 */
KVE_EMITTER* KVE_GetEmitter(int emitter);              /**< the emitter's record; null when there is none */
KVE_ITEM* KVE_GetEmitterItem(int emitter);             /**< its header, for KVE_AttachItem; null when none */
int KVE_GetEmitterParticleCount(int emitter);          /**< live particles, drawn or not; 0 when there is no emitter */
void KVE_SeedParticles(uint32_t seed);                 /**< restarts the particles' random source (reproducible runs) */

/** @} */

/* ========================================================================== */
/* 12. Sound                                                                  */
/* ========================================================================== */

/** @defgroup sound Sound
 * WAV and OGG clips played as positioned scene items heard from the camera, with range,
 * cone, pan and Doppler, or as independent channel copies. Shown in
 * @ref particles_sound/particles_sound.cpp "particles_sound" (a looping sound on a ball).
 * @{ */

/** @name Sound modes
 * Flags given when a sound is loaded or played; the words in brackets set them in a
 * definition's Mode key. */
/** @{ */
#define KVE_SOUND_PLAY 1       /**< start playing when loaded ("Play") */
#define KVE_SOUND_LOOP 2       /**< play in a loop ("Loop") */
#define KVE_SOUND_BACKGROUND 4 /**< not positioned: no distance, cone, pan or Doppler ("Background") */
#define KVE_SOUND_CHANNEL 8    /**< each play starts an independent copy on a new channel ("Channel") */
#define KVE_SOUND_DOPPLER 16   /**< pitch follows the radial speed ("Dopplereffect") */
#define KVE_SOUND_STREAM 32    /**< the file is streamed instead of loaded whole ("Stream") */
/** @} */

/** A positioned sound: a scene item carrying a clip (WAV or OGG). Fields in this order;
 * the record belongs to the sound registry. */
typedef struct KVE_SOUND {
    KVE_ITEM item;           /**< kind KVE_ITEM_SOUND; full and rigid matrix are `matrix` */
    int32_t number;          /**< registry number */
    const char* name;        /**< "" when unnamed (always for a channel copy) */
    int32_t mode;            /**< `KVE_SOUND_*` flags */
    int32_t playing;         /**< 1 once played; the update skips sounds never played */
    int32_t clip;            /**< the playback service's clip */
    float baseFrequency;     /**< Hz: the clip's own sample rate */
    int32_t channel;         /**< 0; a channel copy's channel number */
    float previousDistance;  /**< listener distance at the last update */
    KVE_Vector direction;    /**< w = 0; (0, 0, -1) */
    KVE_Vector position;     /**< in the parent's space, w = 1 */
    KVE_Quaternion rotation; /**< in the parent's space */
    KVE_Matrix matrix;       /**< rotation and position */
    float range[2];          /**< min, max distance; max 0 = no distance fall-off */
    float cone[2];           /**< inner, outer angle in radians; outer 0 = no cone */
    float volume;            /**< 1.0 = full */
    float frequency;         /**< factor of baseFrequency, 1.0 */
} KVE_SOUND;

/** Starts the playback service (run by KVE_Init); master volume 1.0. 1 with a green "OK"
 * when an output is open; 0 with a red entry when none can be opened (sounds then fail
 * to load). */
int KVE_InitSound(void);
/** Loads a WAV or OGG clip. Logs "Load Sound: " and the path, then "OK"; a name in use
 * releases the older sound (blue "Loaded double: First Sound has been released!").
 * @param id wanted number (0..65535) or -1 for automatic
 * @param file the clip's path
 * @param mode `KVE_SOUND_*` flags: KVE_SOUND_STREAM streams it, KVE_SOUND_PLAY plays it at
 *        once
 * @param name "" or null for none
 * @return the record, owned by the registry; null, with nothing replaced, for a file that
 *         cannot be opened or decoded (red "Fail: Sound file not found!", "Fail: Unknown
 *         sound format!", ...) or a refused number. */
KVE_SOUND* KVE_LoadSound(int id, const char* file, int mode, const char* name);
/** Reads the Sound block at or below `node` (keys File, Mode, Direction, Cone in degrees,
 * Range, Volume, Frequency; File relative to the definition file); name "" or null: the
 * block's or its nearest named ancestor's. Values are held to these ranges, with an
 * orange "Warning: " entry for each key changed: Volume 0..10, Frequency 0.01..100, both
 * ends of Range 0..1e6, of Cone 0..360 degrees. Null without a Sound block or a File key,
 * or when the clip does not load (KVE_LoadSound's entries). */
KVE_SOUND* KVE_LoadSoundDefinition(DefinitionNode* node, int id, const char* name);
/** Sound registry entry alone: `id` in: the wanted number 0..65535 or -1, out: the number
 * given; a name in use releases the older sound. Null when the number is refused (red
 * "Fail: This ID is not available!"). */
KVE_SOUND* KVE_CreateSoundListEntry(int* id, const char* name);
KVE_SOUND* KVE_GetSound(int sound); /**< the sound's record; null when there is none */
/** Plays a sound, from the start if it plays already.
 * @param sound the sound (or a channel copy)
 * @param mode `KVE_SOUND_*` flags; KVE_DEFAULT takes the sound's own. With
 *        KVE_SOUND_CHANNEL a new copy plays on its own channel
 * @param position world position to play at; null: where the sound is
 * @return the sound played (the new copy in channel mode); null when there is no such
 *         sound, a ranged sound's position is beyond its range max from the listener
 *         (the camera), or no channel is free. */
KVE_SOUND* KVE_PlaySound(int sound, int mode, const KVE_Vector* position);
int KVE_SetSoundVolume(int sound, float volume);        /**< sound or copy; 1.0 = full; returns 0 */
int KVE_SetSoundRange(int sound, float min, float max); /**< distances; max 0 = unranged; returns 0 */
/** Sets the cone's inner and outer angles in degrees (stored in radians); outer 0 = no
 * cone. Returns 0. */
int KVE_SetSoundCone(int sound, float inner, float outer);
int KVE_SetSoundDirection(int sound, float x, float y, float z);     /**< the way it faces, for the cone; returns 0 */
int KVE_MoveSound(int sound, float x, float y, float z, int mode);   /**< as KVE_MoveObject; 1 or 0 */
int KVE_RotateSound(int sound, float x, float y, float z, int mode); /**< degrees, as KVE_RotateObject; 1 or 0 */
KVE_ITEM* KVE_GetSoundItem(int sound); /**< its header, for KVE_AttachItem; null when none */
/** Once per frame, under the physics lock: volume, pan and frequency of every playing
 * sound from its place relative to the camera; finished channel copies are removed.
 * Returns 0. */
int KVE_UpdateSounds(void);
int KVE_FreeSound(int sound);           /**< the clip and all its channel copies (a copy: its channel); returns 0 */
void KVE_SetMasterVolume(float volume); /**< multiplies every sound's volume, 1.0 */
float KVE_GetMasterVolume(void);        /**< the master volume */

/** @} */

/* ========================================================================== */
/* 13. Billboards, skeletons, animations                                      */
/* ========================================================================== */

/** @defgroup billboards Billboards, skeletons, animations
 * Registries of the billboard sets the frame draws after the particles, and of the
 * skeletons and animations an object names at creation; no example uses them yet.
 * @{ */

typedef struct KVE_BILLBOARD KVE_BILLBOARD; /**< a set of instanced camera-facing quads (billboard registry) */
typedef struct KVE_ANIMATION KVE_ANIMATION; /**< an animation record (animation registry) */
typedef struct KVE_SKELETON KVE_SKELETON;   /**< a skeleton record (skeleton registry) */

/** Billboard registry entry: `id` in: the wanted number (0..65535) or -1, out: the number
 * given. A name already in use releases the older entry (blue "Loaded double: First
 * Billboard has been released!"). Null when the number is refused (red "Fail: This ID is
 * not available!"). */
KVE_BILLBOARD* KVE_CreateBillboardListEntry(int* id, const char* name);
/** Animation registry entry, as KVE_CreateBillboardListEntry; a name in use: blue "Info:
 * The already existing Animation has been replaced!". */
KVE_ANIMATION* KVE_CreateAnimationListEntry(int* id, const char* name);
/** Skeleton registry entry, as KVE_CreateBillboardListEntry; a name in use: blue "Info:
 * The already existing Skeleton has been replaced!". */
KVE_SKELETON* KVE_CreateSkeletonListEntry(int* id, const char* name);
void KVE_ReleaseBillboard(int number); /**< releases the set and its instance buffer; unknown numbers are ignored */
void KVE_ReleaseAnimation(int number); /**< releases the entry; unknown numbers are ignored */
void KVE_ReleaseSkeleton(int number);  /**< releases the entry; unknown numbers are ignored */

/** @} */

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KVE_H */
