#pragma once
// GMIEffect: a timed shader effect the game installs on one mesh instance
// (GraphicsMeshInstance::InstallGMIEffect). The instance owns it from then on: it updates the
// effect every frame before its own animation, lets it add shader parameters to every pass it
// draws, and retires it (CleanParent, then deleted at the end of that instance update) when
// another effect replaces it or when the effect finishes and retires itself.

namespace GAME {

class GMIEffectListener;
class GraphicsMeshInstance;
class GraphicsShader2;

class GMIEffect {
public:
    // The id is the creator's, handed back to the listener (which may be null).
    GMIEffect(GraphicsMeshInstance* instance, GMIEffectListener* listener, int id)
        : id_(id), listener_(listener), instance_(instance) {}
    virtual ~GMIEffect() = default;
    GMIEffect(const GMIEffect&) = default;
    GMIEffect& operator=(const GMIEffect&) = default;

    // Advances the effect by ms milliseconds.
    virtual void Update(int ms) = 0;
    // Adds the effect's parameters to a pass the instance is drawing; nothing in the base.
    virtual void SetShaderParameters(const GraphicsShader2& shader) const;
    // Gives back what the effect changed on its instance; runs once, when the effect is retired.
    virtual void CleanParent() = 0;
    // Asks the effect to wind down and finish.
    virtual void BeginFinishing() = 0;
    // The override shader the effect set on its instance; null in the base.
    virtual const GraphicsShader2* GetOverrideShader() const { return nullptr; }

    int GetId() const { return id_; }
    GraphicsMeshInstance* GetInstance() const { return instance_; }

protected:
    // Tells the listener (when there is one) that the effect has finished, then has the instance
    // retire it.
    void Finish();

private:
    int id_;
    GMIEffectListener* listener_;
    GraphicsMeshInstance* instance_;
};

}  // namespace GAME
