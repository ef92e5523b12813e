#pragma once
// InterfaceSkin: named areas of interface bitmaps, read from a .uis text file. Interface code asks
// for an area by name and draws its region of its texture.
//
// The .uis file is a sequence of blocks (anything before an "Area" is passed over):
//
//   Area
//   {
//       name = "ButtonUp"
//       bitmap = "Interface/Buttons.tga"
//       region = ( 0, 0, 64, 24 )
//   }
//
// Each entry is a keyword, one token that is read and ignored (the "="), and the value: a quoted
// string for "name" and "bitmap", a parenthesised list of four numbers for "region" (x, y, width
// and height in texels, as written; read without the locale). After any other keyword only the
// separator is skipped and the next token is read as a keyword. A block without a name adds
// nothing; of two areas with one name the first stays.
//
// A file that is cut inside a block, an "Area" not followed by "{", a missing separator or value
// and a region that is not four numbers are logged errors: reading stops there, the areas read
// before stay and the load reports false.
//
// Textures are loaded through the graphics engine with the area and unloaded when the skin goes. A
// copy holds a reference of its own to every texture, so copies may outlive each other.

#include <memory>
#include <string>

#include "core/Mem.h"
#include "core/Rect.h"

namespace GAME {

class GraphicsEngine;
class GraphicsTexture;

class InterfaceSkin {
public:
    struct Area {
        const GraphicsTexture* texture = nullptr;  // null when the block named no bitmap
        Rect region;                               // (0, 0, 0, 0) when the block had none
    };

    // Loads the file (LoadUIS) with the engine's graphics engine and file system.
    explicit InterfaceSkin(const char* file);
    // An empty skin whose areas load their textures through the graphics engine, which must
    // outlive it.
    explicit InterfaceSkin(GraphicsEngine& graphics);
    virtual ~InterfaceSkin();
    InterfaceSkin(const InterfaceSkin& other);
    InterfaceSkin& operator=(const InterfaceSkin& other);

    // Adds the areas of a .uis file of the engine's file system; false (logged) when the file
    // cannot be opened or is malformed (see above).
    bool LoadUIS(const char* file);
    // The same over the text of a file; the name is for the log.
    bool ReadUIS(const char* text, uint32_t length, const char* fileName);

    // The area of that name, or null.
    const Area* GetArea(const char* name) const;
    int GetNumAreas() const { return int(areas_.size()); }

private:
    // Every texture unloaded, every area gone.
    void Clear();

    GraphicsEngine* graphics_;  // null without an engine: nothing loads
    mem::hash_map<std::string, std::unique_ptr<Area>> areas_;
};

}  // namespace GAME
