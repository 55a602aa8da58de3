# Sources of the layer's null part.
