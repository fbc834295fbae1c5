// Decoder of the recorder's packet stream (placeholder until the decoder lands).
