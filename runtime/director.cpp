#include "runtime/director.h"

#include <cstdlib>

#include "core/random.h"
#include "runtime/key_track.h"

namespace {
// The show ends with status 0, or 1 when a key recording it was asked to
// make could not be written whole.
void EndProcess() { exit(FinishKeyRecording() ? 0 : 1); }
}  // namespace

void (*escapeAction)() = EndProcess;

namespace {
constexpr unsigned char kEscape = 27;
constexpr int kFirstFlashPicture = 6;
constexpr int kLastFlashPicture = 27;
constexpr int kX = 0, kZ = 2;

// Quarter-turn index one step up or down, wrapping within 0..3.
int TurnUp(int index) { return index + 1 > 3 ? 0 : index + 1; }
int TurnDown(int index) { return index - 1 < 0 ? 3 : index - 1; }
int Toggle(int value) { return 1 - value; }

// Rope moves add in double precision and store back in the field's own type.
void MoveAngleA(CRopeObject& rope, double by) { rope.angleA = static_cast<float>(rope.angleA + by); }
void MoveAngleB(CRopeObject& rope, double by) { rope.angleB = static_cast<float>(rope.angleB + by); }
void MoveCentre(CRopeObject& rope, int axis, double by) { rope.centre[axis] += by; }

// The picture flash steps forward through pictures 6..27 on + and -.
void StepTexture(DirectorState& director) {
  director.textureStep += 1;
  if (director.textureStep > kLastFlashPicture) director.textureStep = kFirstFlashPicture;
}
}  // namespace

void HandleKey(ShowState& show, unsigned char key) {
  DirectorState& d = show.director;
  CRopeObject& ropeA = show.ropeA;
  CRopeObject& ropeB = show.ropeB;
  const float now = show.clock.demoTime;
  switch (key) {
    case kEscape: escapeAction(); break;
    case '^': d.fieldOfView = 20; break;
    case '&': d.fieldOfView = 40; break;
    case '*': d.fieldOfView = 80; break;
    case 'z': d.fieldOfView = 65; break;
    case ';':
    case 'x':
      d.fieldOfView = 38;
      ropeA.centre[0] = ropeA.centre[1] = ropeA.centre[2] = 0;
      ropeB.centre[0] = ropeB.centre[1] = ropeB.centre[2] = 0;
      break;
    case '[':
      MoveCentre(ropeA, kX, -0.02); MoveAngleA(ropeA, 0.1); ropeA.PlaceRoots();
      MoveCentre(ropeB, kX, -0.015); MoveAngleA(ropeB, -0.15); ropeB.PlaceRoots();
      d.fieldOfView = 45;
      break;
    case ']':
      MoveCentre(ropeA, kX, 0.02); ropeA.PlaceRoots();
      MoveCentre(ropeB, kX, 0.015); MoveAngleA(ropeB, 0.15); ropeB.PlaceRoots();
      break;
    case 'a':
      MoveAngleA(ropeA, 0.1); ropeA.PlaceRoots();
      MoveAngleA(ropeB, 0.15); ropeB.PlaceRoots();
      d.fieldOfView = 88;
      break;
    case 'f':
      MoveAngleA(ropeA, 0.015); MoveCentre(ropeA, kX, 0.02); ropeA.PlaceRoots();
      MoveAngleA(ropeB, 0.15); ropeB.PlaceRoots();
      break;
    case 'n':
      MoveAngleA(ropeA, 0.02); ropeA.PlaceRoots();
      MoveAngleB(ropeA, 0.04);
      MoveAngleA(ropeB, 0.02); MoveAngleB(ropeB, 0.02); ropeB.PlaceRoots();
      break;
    case 'h':
      MoveAngleB(ropeB, -0.01); MoveAngleA(ropeB, -0.02); ropeB.PlaceRoots();
      d.fieldOfView = 55;
      d.pulseEStamp = now;
      break;
    case '1': d.pulseALevel = 0.2f; d.pulseAStamp = now; break;
    case '2': d.pulseALevel = 0.4f; MoveAngleB(ropeA, -0.01); d.pulseAStamp = now; break;
    case '3': d.pulseALevel = 0.6f; d.pulseAStamp = now; break;
    case 'm': d.pulseBLevel = 0.2f; d.pulseBStamp = now; break;
    case ',': d.pulseBLevel = 0.5f; d.pulseBStamp = now; break;
    case '.': d.pulseBLevel = 1.0f; d.pulseBStamp = now; break;
    case 's': d.pulseCStamp = now; break;
    case 't': d.pulseDLevel = 0.2f; d.pulseDStamp = now; break;
    case 'r':
      d.pulseFStamp = now;
      d.pulseFRandom = static_cast<float>(RandomUnit(show.generator));
      MoveCentre(ropeA, kZ, -0.005);
      MoveCentre(ropeB, kZ, -0.005);
      ropeA.PlaceRoots();
      break;
    case 'e':
      d.pulseGStamp = now;
      d.pulseGRandom = static_cast<float>(RandomUnit(show.generator));
      MoveCentre(ropeA, kZ, 0.005);
      MoveCentre(ropeB, kZ, -0.005);
      MoveAngleB(ropeA, -0.01);
      MoveAngleB(ropeB, 0.01);
      ropeA.PlaceRoots();
      break;
    case 'y':
      MoveAngleB(ropeA, -0.01);
      RandomUnit(show.generator); RandomUnit(show.generator); RandomUnit(show.generator);
      break;
    case '+':
      StepTexture(d); d.beatTime = now;
      MoveCentre(ropeA, kZ, 0.01); MoveCentre(ropeB, kZ, 0.01);
      break;
    case '-':
      StepTexture(d); d.beatTime = now;
      MoveCentre(ropeA, kZ, -0.01); MoveCentre(ropeB, kZ, -0.01);
      break;
    case ' ': d.beatTime = now; break;
    case 'i': d.blendSwitch = Toggle(d.blendSwitch); d.beatTime = now; break;
    case '{': d.turnIndexA = TurnUp(d.turnIndexA); break;
    case '}': d.turnIndexA = TurnDown(d.turnIndexA); break;
    case 'Y': d.turnIndexB = TurnUp(d.turnIndexB); break;
    case 'U': d.turnIndexB = TurnDown(d.turnIndexB); break;
    case 'R': d.turnIndexC = TurnUp(d.turnIndexC); break;
    case 'T': d.turnIndexC = TurnDown(d.turnIndexC); break;
    case 'A': d.angleAB = static_cast<float>(d.angleAB + 110.0); break;
    case 'B': d.angleAB = static_cast<float>(d.angleAB - 210.0); break;
    case 'C': d.angleCD = static_cast<float>(d.angleCD + 310.0); break;
    case 'D': d.angleCD = static_cast<float>(d.angleCD - 10.0); break;
    case 'E': d.angleEF = static_cast<float>(d.angleEF + 10.0); break;
    case 'F': d.angleEF = static_cast<float>(d.angleEF - 10.0); break;
    case '?': d.layerSwitch1 = Toggle(d.layerSwitch1); break;
    case '8': d.layerSwitch2 = Toggle(d.layerSwitch2); break;
    case '7': d.ropeASwing = Toggle(d.ropeASwing); break;
    case 'u': d.ropeBSwing = Toggle(d.ropeBSwing); break;
    case 'G': d.ropeDrawMode = 1; break;
    case 'I': d.ropeDrawMode = 2; break;
    case 'H': d.ropeDrawMode = 3; break;
    case 'p': d.ropeDrawFlag = Toggle(d.ropeDrawFlag); break;
    case '=': d.effectSwitch = Toggle(d.effectSwitch); break;
    case 'd': LibcRandomNext(show.rand); break;
    default: break;
  }
}
