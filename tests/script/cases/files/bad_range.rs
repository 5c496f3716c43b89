/* #: 2 */ 

w
0 10 5 1 1 1
/* #: 2 */ blue red 
/* #: 2 */ low high 

r
0 1 0.5 1 1 1
/* #: 2 */ blue red 
/* #: 2 */ bad good 


/* #: 1 */

x -1 0 10 5 0.05 1.5 1

/* #: 2 */ 
low 0 10 blue  point_list -1
/* #: 3 */ 0 0 0 1 10 0 
/* #: 0 */ 
high 0 10 red  point_list -1
/* #: 3 */ 0 0 10 1 10 0 
/* #: 0 */ 



no_fop minimum maximum minimum minimum minimum cog 1 10

RULESET
/* #: 0 */
