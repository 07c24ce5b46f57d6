// The scene's two light sets. Light positions are transformed by the
// modelview matrix current when a set is made; material calls use GL_FRONT.
#pragma once

// Light colours, then positions, then a white material (shininess 25).
void SetStandardLights();
// Light colours, then a red glossy material (shininess 60), then positions far out.
void SetSoftBodyLights();
// The soft body's draw state: black colour, no texture, colour material, no
// blend, two-sided lighting with lights 0 and 1, then its light set.
void BeginSoftBodyLighting();
