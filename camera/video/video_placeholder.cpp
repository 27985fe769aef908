// Capture devices of the cameras.
