# Tests of the font engine arrive with it.
